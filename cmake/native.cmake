# Native build of the pure code and its tests, with the sanitizers on request.
if(TAVOK_SANITIZE)
  set(TAVOK_SANITIZER_FLAGS -fsanitize=address,undefined -fno-sanitize-recover=all
                            -fno-omit-frame-pointer)
  target_compile_options(tavok_pure PRIVATE ${TAVOK_SANITIZER_FLAGS})
  target_link_options(tavok_pure PUBLIC ${TAVOK_SANITIZER_FLAGS})
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
    tests/pure/cache_container_test.cpp
    tests/pure/placeholder_layout_test.cpp
    tests/pure/lead_byte_scope.h
  )
  target_link_libraries(pure_tests PRIVATE tavok_pure GTest::gtest_main)
  if(TAVOK_SANITIZE)
    target_compile_options(pure_tests PRIVATE ${TAVOK_SANITIZER_FLAGS})
  endif()
  add_test(NAME pure_tests COMMAND pure_tests)
endif()
