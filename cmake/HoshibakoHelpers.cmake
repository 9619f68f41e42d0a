# Shared helpers for the subsystem CMake files.

# hoshibako_add_test(NAME <name> SOURCES <files...> LIBS <targets...>)
# A GoogleTest executable linked with the shared test support, registered
# with CTest as one test. Registered as add_test(NAME ... COMMAND <target>)
# so a cross-compiling emulator is used. Skipped in a fuzzing build.
function(hoshibako_add_test)
  cmake_parse_arguments(T "" "NAME" "SOURCES;LIBS;LABELS" ${ARGN})
  if(HOSHIBAKO_FUZZ OR NOT HOSHIBAKO_TESTS)
    return()
  endif()
  add_executable(${T_NAME} ${T_SOURCES})
  target_link_libraries(${T_NAME} PRIVATE ${T_LIBS} test_support GTest::gtest GTest::gtest_main)
  target_compile_definitions(${T_NAME} PRIVATE
    HOSHIBAKO_SOURCE_DIR="${PROJECT_SOURCE_DIR}"
    HOSHIBAKO_SHARED_TESTDATA="${PROJECT_SOURCE_DIR}/../shared/testdata")
  add_test(NAME ${T_NAME} COMMAND ${T_NAME})
  set_tests_properties(${T_NAME} PROPERTIES TIMEOUT 600)
  if(T_LABELS)
    set_tests_properties(${T_NAME} PROPERTIES LABELS "${T_LABELS}")
  endif()
endfunction()

# hoshibako_add_fuzzer(NAME <name> SOURCES <files...> LIBS <targets...> [SECONDS <n>]
#                      [SEEDS <folder>] [MAX_LEN <bytes>])
# A libFuzzer target, built only when HOSHIBAKO_FUZZ is on (clang), and run by CTest
# for a bounded time over a fresh corpus folder in the build tree, with a
# fixed seed so that a CI run repeats what a developer ran. MAX_LEN bounds the
# inputs, so that the time goes into many small cases rather than a few big ones.
function(hoshibako_add_fuzzer)
  cmake_parse_arguments(F "" "NAME;SECONDS;SEEDS;MAX_LEN" "SOURCES;LIBS" ${ARGN})
  if(NOT HOSHIBAKO_FUZZ)
    return()
  endif()
  if(NOT F_SECONDS)
    set(F_SECONDS 30)
  endif()
  add_executable(${F_NAME} ${F_SOURCES})
  target_link_libraries(${F_NAME} PRIVATE ${F_LIBS})
  target_link_options(${F_NAME} PRIVATE -fsanitize=fuzzer)
  set(corpus "${CMAKE_CURRENT_BINARY_DIR}/${F_NAME}_corpus")
  file(MAKE_DIRECTORY "${corpus}")
  set(length_args "")
  if(F_MAX_LEN)
    set(length_args "-max_len=${F_MAX_LEN}")
  endif()
  set(seed_args "")
  if(F_SEEDS)
    set(seed_args "${F_SEEDS}")
  endif()
  add_test(NAME ${F_NAME}
    COMMAND ${F_NAME} -seed=1 -max_total_time=${F_SECONDS} -timeout=10 -rss_limit_mb=2048
            -print_final_stats=1 ${length_args} "${corpus}" ${seed_args})
  set_tests_properties(${F_NAME} PROPERTIES LABELS fuzz TIMEOUT 600)
endfunction()
