# Compiler settings shared by every target of the project.
add_library(quillora_common_cfg INTERFACE)
target_compile_features(quillora_common_cfg INTERFACE cxx_std_20)
set(CMAKE_CXX_EXTENSIONS OFF)
target_compile_options(quillora_common_cfg INTERFACE -Wall -Wextra -pedantic)

option(QUILLORA_WERROR "Treat warnings as errors" OFF)
if(QUILLORA_WERROR)
    target_compile_options(quillora_common_cfg INTERFACE -Werror)
endif()

option(QUILLORA_SANITIZE "Build with AddressSanitizer and UndefinedBehaviorSanitizer" OFF)
if(QUILLORA_SANITIZE)
    target_compile_options(quillora_common_cfg INTERFACE
        -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
    target_link_options(quillora_common_cfg INTERFACE -fsanitize=address,undefined)
endif()

option(QUILLORA_TSAN "Build with ThreadSanitizer" OFF)
if(QUILLORA_TSAN)
    target_compile_options(quillora_common_cfg INTERFACE -fsanitize=thread -fno-omit-frame-pointer)
    target_link_options(quillora_common_cfg INTERFACE -fsanitize=thread)
endif()
