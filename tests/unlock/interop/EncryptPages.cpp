// Protects pages the way a run does (through the run's PageRewriter) and turns each into its unlock page, for the
// interoperability test, the whole-process benchmark and checks in a browser by hand.
//
//   encrypt_pages [OPTIONS] OUT PATH...
//     PATH          a page, or a folder searched with its subfolders for .htm and .html files; each page is
//                   written below OUT under its name (a page of a folder under its path below the folder)
//     --password P  the password (or the environment's QUILLORA_PASSWORD)
//     --iterations N, --remember DAYS, --hide email-links|links|body|page, --notice TEXT, --no-right-click
//     --plain       write the protected pages without encrypting them (the benchmark's other half)
//     --expect      also write NAME.plain (the protected bytes that were sealed) and NAME.text (those bytes as
//                   text, in UTF-8, read in the page's own set)
#include "charset/ByteOrderMark.h"
#include "charset/PageDecoder.h"
#include "charset/TextConvert.h"
#include "engine/PageTransform.h"
#include "run/EncryptedRunOptions.h"
#include "run/PageRewriter.h"
#include "unlock/PageTitle.h"
#include "unlock/UnlockPage.h"

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <sstream>
#include <vector>

namespace fs = std::filesystem;
using namespace quillora;

namespace {

struct Settings {
    engine::ProtectionOptions options;
    int iterations = crypto::SiteKey::kIterations;
    bool plain = false;
    bool expect = false;
    fs::path out;
    std::vector<fs::path> paths;
};

std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    if (!in)
        throw std::runtime_error("cannot read " + path.string());
    return bytes.str();
}

void writeFile(const fs::path& path, std::string_view bytes) {
    fs::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out)
        throw std::runtime_error("cannot write " + path.string());
}

/// The protected bytes as text, read in the set they were written in (the byte-order mark left out).
std::u16string readInSet(std::string_view bytes, const charset::PageEncoding& encoding) {
    std::u16string text;
    charset::PageDecoder::decodeText(encoding, charset::ByteOrderMark::skip(bytes, encoding), text);
    return text;
}

void protectOne(const Settings& settings, run::PageRewriter& rewriter, const unlock::PageEncryptor* encryptor,
                const fs::path& source, const fs::path& target) {
    const std::string bytes = readFile(source);
    if (unlock::PageEncryptor::isUnlockPage(bytes)) {
        std::cerr << "encrypt_pages: " << source.string() << " is encrypted already; left out\n";
        return;
    }
    const charset::PageEncoding encoding = run::PageRewriter::encodingOf(bytes);
    // Frames are not followed here: a frameset is written as it is, as the run writes one whose frames it followed.
    const engine::FrameScan frames = rewriter.frames(bytes, encoding);
    const bool frameset = frames.frameset && frames.complete;
    const std::u16string title = unlock::pageTitle(bytes, encoding);
    std::string protectedBytes = bytes;
    if (!frameset) {
        if (const auto error = rewriter.rewrite(bytes, encoding, protectedBytes))
            throw std::runtime_error(source.string() + ": " + error.message());
    }
    if (settings.expect) {
        writeFile(target.string() + ".plain", protectedBytes);
        writeFile(target.string() + ".text", charset::toUtf8(readInSet(protectedBytes, encoding)));
    }
    if (frameset || encryptor == nullptr) {
        writeFile(target, protectedBytes);
        return;
    }
    const std::u16string notice = settings.options.insertNotice ? settings.options.noticeText : std::u16string();
    std::string unlockPage;
    if (const auto error = encryptor->encrypt(protectedBytes, encoding, title, notice, unlockPage))
        throw std::runtime_error(source.string() + ": " + error.message());
    writeFile(target, unlockPage);
}

bool isPage(const fs::path& path) {
    std::string extension = path.extension().string();
    for (char& c : extension)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return extension == ".htm" || extension == ".html";
}

Settings parse(int argc, char** argv) {
    Settings settings;
    auto& options = settings.options;
    if (const char* password = std::getenv("QUILLORA_PASSWORD"))
        options.password = charset::fromUtf8(password);
    const std::map<std::string, engine::EncryptionMode> modes = {{"email-links", engine::EncryptionMode::EmailLinks},
                                                                 {"links", engine::EncryptionMode::AllLinks},
                                                                 {"body", engine::EncryptionMode::BodyOnly},
                                                                 {"page", engine::EncryptionMode::WholePage}};
    int i = 1;
    const auto value = [&]() -> std::string {
        if (i + 1 >= argc)
            throw std::runtime_error(std::string(argv[i]) + " needs a value");
        return argv[++i];
    };
    for (; i < argc && std::strncmp(argv[i], "--", 2) == 0; ++i) {
        const std::string option = argv[i];
        if (option == "--password")
            options.password = charset::fromUtf8(value());
        else if (option == "--iterations")
            settings.iterations = std::stoi(value());
        else if (option == "--remember")
            options.rememberDays = std::stoi(value());
        else if (option == "--hide")
            options.encryptionMode = modes.at(value());
        else if (option == "--notice")
            options.insertNotice = true, options.noticeText = charset::fromUtf8(value());
        else if (option == "--no-right-click")
            options.scripts[engine::kScriptRightClick] = true;
        else if (option == "--plain")
            settings.plain = true;
        else if (option == "--expect")
            settings.expect = true;
        else
            throw std::runtime_error("unknown option " + option);
    }
    if (argc - i < 2)
        throw std::runtime_error("usage: encrypt_pages [OPTIONS] OUT PATH...");
    settings.out = argv[i++];
    for (; i < argc; ++i)
        settings.paths.emplace_back(argv[i]);
    options.passwordProtect = !settings.plain;
    options.encrypt = !settings.plain;
    return settings;
}

} // namespace

int main(int argc, char** argv) {
    try {
        const Settings settings = parse(argc, argv);
        std::unique_ptr<unlock::PageEncryptor> encryptor;
        if (!settings.plain) {
            unlock::EncryptionSettings encryption = run::encryptionSettings(settings.options);
            encryption.iterations = settings.iterations;
            if (const auto error = unlock::PageEncryptor::create(encryption, encryptor))
                throw std::runtime_error(error.message());
        }
        const engine::ProtectionOptions engineOptions = run::engineOptions(settings.options);
        run::PageRewriter rewriter(engineOptions, engine::BuildHeader(engineOptions));
        for (const auto& path : settings.paths) {
            if (!fs::is_directory(path)) {
                protectOne(settings, rewriter, encryptor.get(), path, settings.out / path.filename());
                continue;
            }
            for (const auto& item : fs::recursive_directory_iterator(path)) {
                if (item.is_regular_file() && isPage(item.path()))
                    protectOne(settings, rewriter, encryptor.get(), item.path(),
                               settings.out / fs::relative(item.path(), path));
            }
        }
        return 0;
    } catch (const std::exception& error) {
        std::cerr << "encrypt_pages: " << error.what() << '\n';
        return 1;
    }
}
