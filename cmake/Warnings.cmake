# Strict warnings for the project's own targets only.
function(kelbor_strict_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Werror
    -Wno-format-security -Wno-format-nonliteral -Wno-unused-parameter)
endfunction()
