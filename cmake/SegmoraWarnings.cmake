# Warning, sanitizer and floating-point settings shared by every target of the project.
add_library(segmora_options INTERFACE)
target_compile_options(segmora_options INTERFACE -Wall -Wextra -Wpedantic)
if(SEGMORA_WERROR)
  target_compile_options(segmora_options INTERFACE -Werror)
endif()
if(SEGMORA_SANITIZE)
  target_compile_options(segmora_options INTERFACE
    -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
  target_link_options(segmora_options INTERFACE -fsanitize=address,undefined)
endif()

# Numerical code must give the same bits on every machine: no fused multiply-add.
add_library(segmora_exact_fp INTERFACE)
target_compile_options(segmora_exact_fp INTERFACE -ffp-contract=off -fno-fast-math)
