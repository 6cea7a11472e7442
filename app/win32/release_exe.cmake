# Script mode: the program as it ships, from the program as linked.
#   cmake -DEXE=drovan.exe -DOUT=release/drovan.exe -DDEBUG_FILE=.../drovan.exe.debug -DOBJCOPY=...
#         [-DOSSLSIGNCODE=... -DCERT=cert -DKEY=key [-DPASSWORD_FILE=file]] -P release_exe.cmake
# 1. The debug information and symbols go into DEBUG_FILE, which stays out of the package.
# 2. OUT is EXE without them, with a link to DEBUG_FILE by name and checksum, so that a
#    debugger given the folder of DEBUG_FILE finds it.
# 3. With a certificate and key, OUT is signed (Authenticode, SHA-256, no timestamp: the
#    signature needs no network and stays valid while the certificate is).
cmake_minimum_required(VERSION 3.25)

function(run what)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "${what} failed (${rc}):\n${out}${err}")
  endif()
endfunction()

get_filename_component(out_dir ${OUT} DIRECTORY)
get_filename_component(debug_dir ${DEBUG_FILE} DIRECTORY)
file(MAKE_DIRECTORY ${out_dir} ${debug_dir})
file(REMOVE ${OUT} ${OUT}.unsigned ${DEBUG_FILE})

run("Keeping the debug information" ${OBJCOPY} --only-keep-debug ${EXE} ${DEBUG_FILE})
# The link names the file without its folder; objcopy reads it for the checksum from there.
set(stripped ${OUT}.unsigned)
run("Stripping" ${OBJCOPY} --strip-all ${EXE} ${stripped})
get_filename_component(debug_name ${DEBUG_FILE} NAME)
execute_process(COMMAND ${OBJCOPY} --add-gnu-debuglink=${debug_name} ${stripped}
                WORKING_DIRECTORY ${debug_dir} RESULT_VARIABLE rc ERROR_VARIABLE err)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "Linking the debug file failed: ${err}")
endif()

if(CERT)
  set(password "")
  if(PASSWORD_FILE)
    set(password -readpass ${PASSWORD_FILE})
  endif()
  run("Signing with ${CERT}" ${OSSLSIGNCODE} sign -certs ${CERT} -key ${KEY} ${password} -h sha256
      -n "Drovan Setup" -i "https://www.drovan.example/" -in ${stripped} -out ${OUT})
  file(REMOVE ${stripped})
else()
  file(RENAME ${stripped} ${OUT})
endif()
