# The three kinds of test, each under its ctest label:
#   unit  native GoogleTest programs against fakes               zeln_unit_test
#   wine  Windows GoogleTest programs run by the Wine harness    zeln_wine_test
#   e2e   whole-installer runs under Wine and Xvfb               zeln_e2e_test
# The Windows tests run from both Windows trees in 64-bit prefixes: the win64 build as a native 64-bit process,
# the win32 build as the shipped program runs on 64-bit Windows, under WoW64. The 32-bit runs also carry the
# label wow64 and end their names in _wow64.
enable_testing()

set(ZELN_WINE_RUN ${CMAKE_SOURCE_DIR}/scripts/wine-run.sh)
set(ZELN_WINE_ROOT ${CMAKE_BINARY_DIR}/wine)

if(ZELN_NATIVE)
  find_package(GTest REQUIRED)
elseif(WIN32)
  # GoogleTest from Debian's sources, built with our compiler; its own code is not held to our warning flags.
  get_directory_property(zeln_saved_options COMPILE_OPTIONS)
  set_directory_properties(PROPERTIES COMPILE_OPTIONS "")
  set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
  set_directory_properties(PROPERTIES COMPILE_OPTIONS "${zeln_saved_options}")
  if(ZELN_MINGW_THREADS STREQUAL "win32")
    # The 32-bit tests are built by the shipped program's compiler, which has no std::mutex.
    target_compile_definitions(gtest PUBLIC GTEST_HAS_NOTIFICATION_=1)
    target_compile_options(gtest PUBLIC -include ${CMAKE_SOURCE_DIR}/tests/win/GtestWin32Threads.h)
  endif()
endif()

# zeln_unit_test(NAME SOURCES a.cpp ... [LIBS lib ...])
function(zeln_unit_test name)
  if(NOT ZELN_NATIVE)
    return()
  endif()
  cmake_parse_arguments(T "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest_main)
  # The sanitizer build (native-asan) runs the same tests beside the native ones under one ctest.
  set(test_name ${name})
  if(ZELN_SANITIZED)
    string(APPEND test_name _asan)
  endif()
  add_test(NAME ${test_name} COMMAND ${name})
  set_tests_properties(${test_name} PROPERTIES LABELS unit TIMEOUT 300)
  # Scratch folders in memory: an install's journal has the disk write it at every step, which on a disk
  # costs milliseconds, and the tests run hundreds of installs.
  if(IS_DIRECTORY /dev/shm)
    set_tests_properties(${test_name} PROPERTIES ENVIRONMENT TMPDIR=/dev/shm)
  endif()
endfunction()

# zeln_wine_test(NAME SOURCES a.cpp ... [LIBS lib ...] [TIMEOUT seconds])
# Each run gets a prefix of its own (build/win64/wine/prefixes/NAME, kept after the run for a look).
function(zeln_wine_test name)
  if(ZELN_NATIVE)
    return()
  endif()
  cmake_parse_arguments(T "" "TIMEOUT" "SOURCES;LIBS" ${ARGN})
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 300)
  endif()
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} gtest_main gtest)
  zeln_windows_test_name(test_name ${name})
  add_test(NAME ${test_name}
           COMMAND ${ZELN_WINE_RUN} --root ${ZELN_WINE_ROOT} --name ${test_name} -- $<TARGET_FILE:${name}>)
  zeln_windows_test_labels(labels wine)
  set_tests_properties(${test_name} PROPERTIES LABELS "${labels}" TIMEOUT ${T_TIMEOUT})
endfunction()

# zeln_windows_test_name(OUT NAME): NAME in the win64 tree, NAME_wow64 in the win32 tree.
function(zeln_windows_test_name out name)
  if(ZELN_WIN32)
    set(${out} ${name}_wow64 PARENT_SCOPE)
  else()
    set(${out} ${name} PARENT_SCOPE)
  endif()
endfunction()

# zeln_windows_test_labels(OUT KIND): the kind, and wow64 for the 32-bit tree's runs.
function(zeln_windows_test_labels out kind)
  if(ZELN_WIN32)
    set(${out} "${kind};wow64" PARENT_SCOPE)
  else()
    set(${out} "${kind}" PARENT_SCOPE)
  endif()
endfunction()

# zeln_e2e_test(NAME COMMAND cmd args... [TIMEOUT seconds]): a script that drives a whole installer.
# It is given the harness as ZELN_WINE_RUN, its folder as ZELN_WINE_ROOT and the wizard's layout for the
# driver as ZELN_WIZARD_LAYOUT. In the win32 tree its label is also wow64 (the name is the caller's: the
# 32-bit scenarios are their own).
function(zeln_e2e_test name)
  if(ZELN_NATIVE)
    return()
  endif()
  cmake_parse_arguments(T "" "TIMEOUT" "COMMAND" ${ARGN})
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 600)
  endif()
  add_test(NAME ${name} COMMAND ${T_COMMAND})
  zeln_windows_test_labels(labels e2e)
  set_tests_properties(${name} PROPERTIES LABELS "${labels}" TIMEOUT ${T_TIMEOUT}
    ENVIRONMENT "ZELN_WINE_RUN=${ZELN_WINE_RUN};ZELN_WINE_ROOT=${ZELN_WINE_ROOT};ZELN_WIZARD_LAYOUT=${ZELN_WIZARD_LAYOUT}")
endfunction()

# zeln_layer_library(NAME FOLDER...): a static library of every .cpp in the given folders, so that a new
# source file joins its layer without an edit here. A library with no sources yet is not made.
function(zeln_layer_library name)
  set(sources "")
  foreach(folder ${ARGN})
    file(GLOB found CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/${folder}/*.cpp)
    list(APPEND sources ${found})
  endforeach()
  if(sources)
    add_library(${name} STATIC ${sources})
  endif()
endfunction()
