#pragma once

#include <cstdio>
#include <cstdlib>

namespace quillora::fuzz {

/// Stops the fuzzer with the broken property, so that libFuzzer keeps the input that broke it.
inline void require(bool holds, const char* property) {
    if (!holds) {
        std::fprintf(stderr, "property broken: %s\n", property);
        std::abort();
    }
}

} // namespace quillora::fuzz
