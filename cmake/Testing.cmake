# Helpers every area's tests, fuzz targets and benchmarks use.
#
# volantis_add_test(NAME name SOURCES ... [LIBS ...] [LABELS ...] [TIMEOUT s])
#   A GoogleTest executable registered with ctest. On the Windows half it is a
#   Windows program that ctest runs through the Wine runner (the emulator).
#
# volantis_add_fuzzer(NAME name SOURCES ... [LIBS ...] CORPUS dir)
#   With VOLANTIS_FUZZ a libFuzzer binary; otherwise a plain program that replays
#   every file of the corpus folder through the same entry point, run by ctest.
#
# volantis_add_benchmark(NAME name SOURCES ... [LIBS ...])
#   Only with VOLANTIS_BENCH; not registered with ctest.

function(volantis_add_test)
  cmake_parse_arguments(T "" "NAME;TIMEOUT" "SOURCES;LIBS;LABELS" ${ARGN})
  add_executable(${T_NAME} ${T_SOURCES})
  volantis_warnings(${T_NAME})
  target_link_libraries(${T_NAME} PRIVATE ${T_LIBS} volantis_gtest_main)
  add_test(NAME ${T_NAME} COMMAND ${T_NAME})
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 300)
  endif()
  set_tests_properties(${T_NAME} PROPERTIES TIMEOUT ${T_TIMEOUT})
  if(T_LABELS)
    set_tests_properties(${T_NAME} PROPERTIES LABELS "${T_LABELS}")
  endif()
endfunction()

function(volantis_add_fuzzer)
  cmake_parse_arguments(F "" "NAME;CORPUS" "SOURCES;LIBS" ${ARGN})
  if(WIN32)
    return()
  endif()
  add_executable(${F_NAME} ${F_SOURCES})
  volantis_warnings(${F_NAME})
  target_link_libraries(${F_NAME} PRIVATE ${F_LIBS})
  if(VOLANTIS_FUZZ)
    target_link_options(${F_NAME} PRIVATE -fsanitize=fuzzer)
    # New inputs go to a scratch folder in the build tree (libFuzzer writes to the
    # first folder it is given), never into the corpus in the source tree.
    set(_scratch ${CMAKE_CURRENT_BINARY_DIR}/${F_NAME}_new_inputs)
    file(MAKE_DIRECTORY ${_scratch})
    add_test(NAME ${F_NAME}_smoke COMMAND ${F_NAME} -runs=2000 -max_len=4096 ${_scratch} ${F_CORPUS})
    set_tests_properties(${F_NAME}_smoke PROPERTIES LABELS "fuzz" TIMEOUT 300)
  else()
    target_sources(${F_NAME} PRIVATE ${PROJECT_SOURCE_DIR}/tests/fuzz_replay_main.cpp)
    add_test(NAME ${F_NAME}_replay COMMAND ${F_NAME} ${F_CORPUS})
    set_tests_properties(${F_NAME}_replay PROPERTIES LABELS "fuzz;replay" TIMEOUT 300)
  endif()
endfunction()

function(volantis_add_benchmark)
  cmake_parse_arguments(B "" "NAME" "SOURCES;LIBS" ${ARGN})
  if(NOT VOLANTIS_BENCH OR WIN32)
    return()
  endif()
  find_package(benchmark REQUIRED)
  add_executable(${B_NAME} ${B_SOURCES})
  volantis_warnings(${B_NAME})
  target_link_libraries(${B_NAME} PRIVATE ${B_LIBS} benchmark::benchmark benchmark::benchmark_main)
endfunction()
