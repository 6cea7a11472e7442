# The sanitizer and fuzzing builds (the "sanitize" preset). Every target of the build is
# instrumented, so that a fault is caught in whichever library it lies, and the first
# report ends the program: a test or fuzz run that goes on after one would hide it.
if(DROVAN_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
endif()

if(DROVAN_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
    message(FATAL_ERROR "DROVAN_FUZZ needs clang (libFuzzer): configure with the sanitize preset")
  endif()
  # Coverage feedback from the libraries the targets call, not only from the targets.
  add_compile_options(-fsanitize=fuzzer-no-link)
endif()
