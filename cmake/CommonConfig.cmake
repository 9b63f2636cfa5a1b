# Settings every Tabulon target shares: the language level, the warnings, and the
# sanitizer build that CI runs.
add_library(tabulon_options INTERFACE)
target_compile_features(tabulon_options INTERFACE cxx_std_20)
target_compile_options(tabulon_options INTERFACE -Wall -Wextra -Wpedantic
    -Wshadow -Wnon-virtual-dtor -Wold-style-cast)
target_compile_definitions(tabulon_options INTERFACE QT_NO_CAST_FROM_ASCII QT_NO_CAST_TO_ASCII)

if(TABULON_WERROR)
    target_compile_options(tabulon_options INTERFACE -Werror)
endif()

if(TABULON_SANITIZE)
    target_compile_options(tabulon_options INTERFACE
        -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
    target_link_options(tabulon_options INTERFACE -fsanitize=address,undefined)
endif()

# The fuzz build: everything is instrumented for libFuzzer's coverage and checked by
# the sanitizers; only the fuzz targets themselves link libFuzzer's main.
if(TABULON_FUZZ)
    if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
        message(FATAL_ERROR "TABULON_FUZZ needs clang: -DCMAKE_CXX_COMPILER=clang++")
    endif()
    target_compile_options(tabulon_options INTERFACE
        -fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer
        -fno-sanitize-recover=undefined)
    target_link_options(tabulon_options INTERFACE -fsanitize=address,undefined)
endif()
