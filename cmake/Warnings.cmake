# korvane_enable_warnings(target): our warnings, and the sanitizers a
# KORVANE_SANITIZE build asks for, on one of our own targets. Each target
# calls it where it is declared, so a parent project that builds the library
# along with itself keeps its own flags.
include_guard(GLOBAL)

function(korvane_enable_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra)
  if(KORVANE_SANITIZE)
    target_compile_options(${target} PRIVATE -fsanitize=${KORVANE_SANITIZE} -fno-omit-frame-pointer -g)
    target_link_options(${target} PRIVATE -fsanitize=${KORVANE_SANITIZE})
  endif()
endfunction()
