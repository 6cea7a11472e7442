# GoogleTest: the host's packages natively; Debian's source tree, built with the
# cross compiler, for the Windows builds.
if(WIN32)
  set(gtest_force_shared_crt OFF CACHE BOOL "" FORCE)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
  if(NOT EXISTS /usr/src/googletest/CMakeLists.txt)
    message(FATAL_ERROR "googletest sources missing: install the googletest package")
  endif()
  add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
  foreach(lib gtest gtest_main gmock)
    if(NOT TARGET GTest::${lib})
      add_library(GTest::${lib} ALIAS ${lib})
    endif()
  endforeach()
else()
  find_package(GTest REQUIRED)
endif()
include(GoogleTest)

# drovan_test(<name> SOURCES ... LIBS ...): one test executable, its cases registered
# with CTest without running it at configure or build time.
function(drovan_test name)
  cmake_parse_arguments(T "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  # A test with a main of its own keeps it: gtest_main is only pulled in when needed.
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest_main GTest::gtest GTest::gmock)
  drovan_warnings(${name})
  if(NOT CMAKE_CROSSCOMPILING)
    gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 30
                         PROPERTIES TIMEOUT 120)
  endif()
endfunction()
