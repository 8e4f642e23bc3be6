#include "SinglePage.h"

#include "EncryptedRunOptions.h"
#include "PageRewriter.h"
#include "unlock/PageTitle.h"
#include "unlock/UnlockPage.h"

namespace quillora::run {

SinglePage::Outcome SinglePage::protect(const engine::ProtectionOptions& options, std::string_view page,
                                        std::string& out, std::error_code& error) {
    out.clear();
    const charset::PageEncoding encoding = PageRewriter::encodingOf(page);
    if (PageRewriter::isProtected(page, encoding) || unlock::PageEncryptor::isUnlockPage(page)) {
        out.assign(page);
        return Outcome::AlreadyProtected;
    }
    const engine::ProtectionOptions forEngine = options.encrypt ? engineOptions(options) : options;
    PageRewriter rewriter(forEngine, engine::BuildHeader(forEngine));
    // A frameset is written as it is, as a run writes one whose frames it cannot follow.
    if (const auto frames = rewriter.frames(page, encoding); frames.frameset && frames.complete) {
        out.assign(page);
        return Outcome::Frameset;
    }
    std::string rewritten;
    if ((error = rewriter.rewrite(page, encoding, rewritten)))
        return Outcome::Failed;
    if (!options.encrypt) {
        out = std::move(rewritten);
        return Outcome::Protected;
    }
    std::unique_ptr<unlock::PageEncryptor> encryptor;
    if ((error = unlock::PageEncryptor::create(encryptionSettings(options), encryptor)))
        return Outcome::Failed;
    const std::u16string title = unlock::pageTitle(page, encoding);
    const std::u16string notice = options.insertNotice ? options.noticeText : std::u16string();
    std::string meta;
    if (options.strictCsp) {
        ScriptPolicy policy = rewriter.policy();
        policy.addUnlockScript();
        meta = policy.metaTag();
    }
    if ((error = encryptor->encrypt(rewritten, encoding, title, notice, out, meta))) {
        out.clear();
        return Outcome::Failed;
    }
    return Outcome::Protected;
}

} // namespace quillora::run
