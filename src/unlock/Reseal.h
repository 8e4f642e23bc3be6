#pragma once

#include "crypto/KeyWrap.h"
#include "crypto/SiteKey.h"

#include <string>
#include <string_view>
#include <system_error>
#include <vector>

namespace quillora::unlock {

/// What an unlock page is to carry after a change of the site's key: the content key (with the salt and rounds of
/// its passwords) and its slots.
struct ResealTarget {
    crypto::SiteKey content;
    std::vector<crypto::KeyWrap::Wrapped> slots;
};

/// Seals an unlock page again where it is: the data's salt, rounds and slots are written for the target, and the
/// sealed page and its nonce anew under the target's content key (with the page's associated data, as it was
/// sealed); every other byte stays as it was, in ASCII pages as in UTF-16 ones. The page's plaintext is opaque here:
/// it is opened and sealed again, never read. Where the target's content key is the page's own, only the slots
/// change and the sealed page stays byte for byte.
class Reseal {
public:
    enum class Outcome {
        Resealed,
        NotUnlockPage, // not a page this program wrote
        OtherKey,      // the key given does not open it
        Damaged,       // an unlock page whose data do not read
        Failed,        // the sealing failed (error says why)
    };

    /// oldKey is the key the page was sealed with: the site's content key, or for a page written before the site
    /// key file (without slots) the key derived from the password with the page's salt.
    static Outcome reseal(std::string_view page, const crypto::SiteKey& oldKey, const ResealTarget& target,
                          std::string& out, std::error_code& error);
};

} // namespace quillora::unlock
