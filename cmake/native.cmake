# Native build of the pure code and its tests, with the sanitizers on request.
if(TAVOK_SANITIZE)
  set(TAVOK_SANITIZER_FLAGS -fsanitize=address,undefined -fno-sanitize-recover=all
                            -fno-omit-frame-pointer)
  target_compile_options(tavok_pure PRIVATE ${TAVOK_SANITIZER_FLAGS})
  target_link_options(tavok_pure PUBLIC ${TAVOK_SANITIZER_FLAGS})
endif()

# The libFuzzer target over the container code (clang only): the "fuzz"
# preset, run by tools/fuzz.sh.
option(TAVOK_FUZZ "Build the libFuzzer target (needs clang)" OFF)
if(TAVOK_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
    message(FATAL_ERROR "TAVOK_FUZZ needs clang++ (cmake --preset fuzz)")
  endif()
  set(TAVOK_FUZZ_FLAGS -fsanitize=address,undefined -fno-sanitize-recover=all
                       -fno-omit-frame-pointer -g)
  target_compile_options(tavok_pure PRIVATE ${TAVOK_FUZZ_FLAGS} -fsanitize=fuzzer-no-link)
  add_executable(container_fuzzer tests/fuzz/container_fuzzer.cpp)
  target_compile_options(container_fuzzer PRIVATE ${TAVOK_FUZZ_FLAGS} -fsanitize=fuzzer)
  target_link_options(container_fuzzer PRIVATE ${TAVOK_FUZZ_FLAGS} -fsanitize=fuzzer)
  target_link_libraries(container_fuzzer PRIVATE tavok_pure tavok_flags)
endif()

include(CTest)
if(BUILD_TESTING)
  find_package(GTest QUIET)
  if(NOT GTest_FOUND)
    set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
    set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
    add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
    add_library(GTest::gtest_main ALIAS gtest_main)
  endif()
  add_executable(pure_tests
    tests/pure/mbcs_test.cpp
    tests/pure/file_paths_test.cpp
    tests/pure/profile_text_test.cpp
    tests/pure/cache_container_test.cpp
    tests/pure/placeholder_layout_test.cpp
    tests/pure/image_signature_test.cpp
    tests/pure/lead_byte_scope.h
  )
  target_link_libraries(pure_tests PRIVATE tavok_pure tavok_flags GTest::gtest_main)
  if(TAVOK_SANITIZE)
    target_compile_options(pure_tests PRIVATE ${TAVOK_SANITIZER_FLAGS})
  endif()
  add_test(NAME pure_tests COMMAND pure_tests)

  # The fuzz target replayed over its seed corpus and the inputs of faults it
  # found, so that they stay fixed without clang or libFuzzer.
  if(NOT TAVOK_FUZZ)
    add_executable(fuzz_replay tests/fuzz/container_fuzzer.cpp tests/fuzz/replay_main.cpp)
    target_link_libraries(fuzz_replay PRIVATE tavok_pure tavok_flags)
    if(TAVOK_SANITIZE)
      target_compile_options(fuzz_replay PRIVATE ${TAVOK_SANITIZER_FLAGS})
    endif()
    add_test(NAME fuzz_replay COMMAND fuzz_replay ${PROJECT_SOURCE_DIR}/tests/fuzz/corpus
                                                  ${PROJECT_SOURCE_DIR}/tests/fuzz/regressions)
  endif()
endif()
