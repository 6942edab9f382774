# The plug-in itself, its tests (run under Wine) and the Windows tools.

set(TAVOK_BIN_DIR ${CMAKE_BINARY_DIR}/bin)
set(CMAKE_RUNTIME_OUTPUT_DIRECTORY ${TAVOK_BIN_DIR})
set(CMAKE_LIBRARY_OUTPUT_DIRECTORY ${TAVOK_BIN_DIR})

# Everything statically linked: the DLL and the test programs import only
# Windows system DLLs, so that they load in any viewer and under Wine.
set(TAVOK_STATIC_LINK -static -static-libgcc -static-libstdc++)

add_library(tavok_lib STATIC
  src/decoders/decoder_plugin.cpp
  src/decoders/decoder_table.cpp
  src/decoders/picture_requests.cpp
  src/host/entry_points.cpp
  src/host/picture_input.cpp
  src/host/platform_lead_bytes.cpp
  src/host/plugin_info.cpp
  src/placeholder/placeholder.cpp
  src/settings/module_lifecycle.cpp
  src/settings/settings_file.cpp
)
target_link_libraries(tavok_lib PUBLIC tavok_pure gdi32 shell32)
target_compile_definitions(tavok_lib PUBLIC WIN32_LEAN_AND_MEAN NOMINMAX)
# Nothing in the module may throw across the C boundary, so it is built
# without exceptions: allocation failures are reported by value.
target_compile_options(tavok_lib PRIVATE ${TAVOK_WARNINGS} -fno-exceptions -fno-rtti)

add_library(tavok SHARED src/host/tavok.def)
set_target_properties(tavok PROPERTIES PREFIX "" SUFFIX ".spi" OUTPUT_NAME tavok
                      LINKER_LANGUAGE CXX)
target_link_libraries(tavok PRIVATE -Wl,--whole-archive tavok_lib tavok_pure
                      -Wl,--no-whole-archive ${TAVOK_STATIC_LINK})

add_subdirectory(tools)

include(CTest)
if(BUILD_TESTING)
  add_subdirectory(tests)
endif()
