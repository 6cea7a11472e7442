# drovan_warnings(<target>): the warning set for the project's own code.
function(drovan_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wshadow=local
                                           -Wno-missing-field-initializers)
  if(DROVAN_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()
