# drovan_warnings(<target>): the warning set for the project's own code.
function(drovan_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wno-missing-field-initializers)
  # Clang has no -Wshadow=local; its -Wshadow would also warn of members, which the code's
  # constructors name on purpose.
  if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
    target_compile_options(${target} PRIVATE -Wshadow=local)
  endif()
  if(DROVAN_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()
