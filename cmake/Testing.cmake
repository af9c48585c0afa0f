# The three kinds of test, each under its ctest label:
#   unit  native GoogleTest programs against fakes               zeln_unit_test
#   wine  win64 GoogleTest programs run by the Wine harness      zeln_wine_test
#   e2e   whole-installer runs under Wine and Xvfb               zeln_e2e_test
enable_testing()

set(ZELN_WINE_RUN ${CMAKE_SOURCE_DIR}/scripts/wine-run.sh)
set(ZELN_WINE_ROOT ${CMAKE_BINARY_DIR}/wine)

if(ZELN_NATIVE)
  find_package(GTest REQUIRED)
elseif(ZELN_WIN64)
  # GoogleTest from Debian's sources, built with our compiler; its own code is not held to our warning flags.
  get_directory_property(zeln_saved_options COMPILE_OPTIONS)
  set_directory_properties(PROPERTIES COMPILE_OPTIONS "")
  set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
  set_directory_properties(PROPERTIES COMPILE_OPTIONS "${zeln_saved_options}")
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
endfunction()

# zeln_wine_test(NAME SOURCES a.cpp ... [LIBS lib ...] [TIMEOUT seconds])
# Each run gets a prefix of its own (build/win64/wine/prefixes/NAME, kept after the run for a look).
function(zeln_wine_test name)
  if(NOT ZELN_WIN64)
    return()
  endif()
  cmake_parse_arguments(T "" "TIMEOUT" "SOURCES;LIBS" ${ARGN})
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 300)
  endif()
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} gtest_main gtest)
  add_test(NAME ${name}
           COMMAND ${ZELN_WINE_RUN} --root ${ZELN_WINE_ROOT} --name ${name} -- $<TARGET_FILE:${name}>)
  set_tests_properties(${name} PROPERTIES LABELS wine TIMEOUT ${T_TIMEOUT})
endfunction()

# zeln_e2e_test(NAME COMMAND cmd args... [TIMEOUT seconds]): a script that drives a whole installer.
# It is given the harness as ZELN_WINE_RUN and its folder as ZELN_WINE_ROOT.
function(zeln_e2e_test name)
  if(NOT ZELN_WIN64)
    return()
  endif()
  cmake_parse_arguments(T "" "TIMEOUT" "COMMAND" ${ARGN})
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 600)
  endif()
  add_test(NAME ${name} COMMAND ${T_COMMAND})
  set_tests_properties(${name} PROPERTIES LABELS e2e TIMEOUT ${T_TIMEOUT}
    ENVIRONMENT "ZELN_WINE_RUN=${ZELN_WINE_RUN};ZELN_WINE_ROOT=${ZELN_WINE_ROOT}")
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
