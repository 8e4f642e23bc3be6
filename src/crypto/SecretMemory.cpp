#include "SecretMemory.h"

#include <openssl/crypto.h>
#include <sys/prctl.h>
#include <sys/resource.h>

namespace quillora::crypto {

namespace {

template <class Char> void wipeText(std::basic_string<Char>& secret) {
    // Grown to its capacity first, so that bytes beyond the current size are reached through the string itself.
    secret.resize(secret.capacity());
    OPENSSL_cleanse(secret.data(), secret.size() * sizeof(Char));
    secret.clear();
}

} // namespace

void wipe(std::string& secret) {
    wipeText(secret);
}

void wipe(std::u16string& secret) {
    wipeText(secret);
}

void wipe(char* bytes, std::size_t size) {
    OPENSSL_cleanse(bytes, size);
}

bool disableCoreDumps() {
    rlimit limit{};
    bool done = ::getrlimit(RLIMIT_CORE, &limit) == 0;
    if (done) {
        limit.rlim_cur = 0;
        done = ::setrlimit(RLIMIT_CORE, &limit) == 0;
    }
    return ::prctl(PR_SET_DUMPABLE, 0, 0, 0, 0) == 0 && done;
}

} // namespace quillora::crypto
