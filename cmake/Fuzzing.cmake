# zeln_fuzz_target(NAME SOURCES a.cpp ... [LIBS lib ...]): a libFuzzer program fuzz_NAME in the fuzz build
# (scripts/fuzz.sh runs it over corpus/ beside its sources), and in every native build a unit test NAME_replay
# that replays corpus/ and regressions/ through the same entry point.
function(zeln_fuzz_target name)
  if(NOT ZELN_NATIVE)
    return()
  endif()
  cmake_parse_arguments(F "" "" "SOURCES;LIBS" ${ARGN})
  set(support ${CMAKE_SOURCE_DIR}/tests/fuzz/FuzzSupport.cpp ${CMAKE_SOURCE_DIR}/tests/unit/engine/EngineFixture.cpp)
  if(ZELN_FUZZ)
    add_executable(fuzz_${name} ${F_SOURCES} ${support})
    target_link_libraries(fuzz_${name} PRIVATE ${F_LIBS})
    target_link_options(fuzz_${name} PRIVATE -fsanitize=fuzzer)
  endif()
  zeln_unit_test(${name}_replay
    SOURCES ${F_SOURCES} ${support} ${CMAKE_SOURCE_DIR}/tests/fuzz/FuzzReplayTest.cpp
    LIBS ${F_LIBS})
  target_compile_definitions(${name}_replay PRIVATE
    ZELN_FUZZ_CORPUS="${CMAKE_CURRENT_SOURCE_DIR}/corpus"
    ZELN_FUZZ_REGRESSIONS="${CMAKE_CURRENT_SOURCE_DIR}/regressions")
endfunction()
