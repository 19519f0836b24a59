# Warning, sanitizer and floating-point settings shared by every target of the project.
add_library(segmora_build_flags INTERFACE)
target_compile_options(segmora_build_flags INTERFACE -Wall -Wextra -Wpedantic)
if(SEGMORA_WERROR)
  target_compile_options(segmora_build_flags INTERFACE -Werror)
endif()
# libFuzzer targets (fuzz/) need clang; their build instruments every target for coverage
# and always runs under the sanitizers below.
set(segmoraLibFuzzer OFF)
if(SEGMORA_BUILD_FUZZERS AND CMAKE_CXX_COMPILER_ID MATCHES "Clang")
  set(segmoraLibFuzzer ON)
  target_compile_options(segmora_build_flags INTERFACE -fsanitize=fuzzer-no-link)
  target_link_options(segmora_build_flags INTERFACE -fsanitize=fuzzer-no-link)
endif()
# Any sanitizer report ends the process with an error (-fno-sanitize-recover). OpenCV and
# GoogleTest stay uninstrumented, which AddressSanitizer allows.
if(SEGMORA_SANITIZE OR segmoraLibFuzzer)
  set(sanitizers address,undefined,float-cast-overflow)
  target_compile_options(segmora_build_flags INTERFACE
    -fsanitize=${sanitizers} -fno-sanitize-recover=all -fno-omit-frame-pointer)
  target_link_options(segmora_build_flags INTERFACE -fsanitize=${sanitizers})
endif()
# ThreadSanitizer (make sanitize-thread): data races in the engine's parallel stages and
# between Segmenters. It cannot be combined with the sanitizers above.
if(SEGMORA_SANITIZE_THREAD)
  if(SEGMORA_SANITIZE OR segmoraLibFuzzer)
    message(FATAL_ERROR "SEGMORA_SANITIZE_THREAD cannot be combined with SEGMORA_SANITIZE or fuzzers")
  endif()
  target_compile_options(segmora_build_flags INTERFACE -fsanitize=thread -fno-omit-frame-pointer)
  target_link_options(segmora_build_flags INTERFACE -fsanitize=thread)
endif()

# Numerical code must give the same bits on every machine: no fused multiply-add.
add_library(segmora_exact_fp INTERFACE)
target_compile_options(segmora_exact_fp INTERFACE -ffp-contract=off -fno-fast-math)
