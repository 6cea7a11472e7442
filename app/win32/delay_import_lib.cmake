# Script mode: makes a delay-import library from a MinGW-w64 import library.
#   cmake -DNM=... -DDLLTOOL=... -DIMPORT_LIB=libwinspool.a -DOUT=dir/libwinspool.a -P delay_import_lib.cmake
# The new library imports every function of IMPORT_LIB from the same DLL, by the same names,
# through the delay-load helper: the DLL is loaded at the first call of one of its functions
# instead of by the loader before the program starts. Data exports (an __imp_ symbol with no
# function beside it) cannot be delay-loaded and are left out: a program that uses one fails
# to link, loudly.
cmake_minimum_required(VERSION 3.25)

execute_process(COMMAND ${DLLTOOL} --identify ${IMPORT_LIB}
                OUTPUT_VARIABLE dll RESULT_VARIABLE rc OUTPUT_STRIP_TRAILING_WHITESPACE)
if(NOT rc EQUAL 0 OR dll STREQUAL "" OR dll MATCHES "\n")
  message(FATAL_ERROR "${IMPORT_LIB}: not an import library of one DLL (${dll})")
endif()

execute_process(COMMAND ${NM} -g --defined-only -P ${IMPORT_LIB}
                OUTPUT_VARIABLE symbols RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "${NM} ${IMPORT_LIB} failed")
endif()
# "__imp_NAME I ..." is an import's address; "NAME T ..." beside it makes it a function.
string(PREPEND symbols "\n")
string(REGEX MATCHALL "\n__imp_[^ \n]+ I " imports "${symbols}")
set(exports "")
foreach(entry IN LISTS imports)
  string(REGEX REPLACE "^\n__imp_([^ ]+) I $" "\\1" name "${entry}")
  string(FIND "${symbols}" "\n${name} T " at)
  if(at GREATER -1)
    # 32-bit symbols carry the C prefix "_" that dlltool adds again from the .def file.
    string(REGEX REPLACE "^_" "" name "${name}")
    string(APPEND exports "  ${name}\n")
  endif()
endforeach()
if(exports STREQUAL "")
  message(FATAL_ERROR "${IMPORT_LIB}: no functions found")
endif()

string(REGEX REPLACE "\\.a$" ".def" def "${OUT}")
file(WRITE ${def} "LIBRARY \"${dll}\"\nEXPORTS\n${exports}")
file(REMOVE ${OUT})
# --kill-at: a 32-bit stdcall name keeps its @N in the symbol and drops it in the DLL's name,
# as the system's import libraries have it.
execute_process(COMMAND ${DLLTOOL} --input-def ${def} --dllname ${dll} --kill-at --output-delaylib ${OUT}
                RESULT_VARIABLE rc ERROR_VARIABLE err)
if(NOT rc EQUAL 0 OR NOT EXISTS ${OUT})
  message(FATAL_ERROR "${DLLTOOL} could not make ${OUT}: ${err}")
endif()
