# The plug-in itself, its tests (run under Wine) and the Windows tools.

set(TAVOK_BIN_DIR ${CMAKE_BINARY_DIR}/bin)
set(CMAKE_RUNTIME_OUTPUT_DIRECTORY ${TAVOK_BIN_DIR})
set(CMAKE_LIBRARY_OUTPUT_DIRECTORY ${TAVOK_BIN_DIR})

# Everything statically linked: the DLL and the test programs import only
# Windows system DLLs, so that they load in any viewer and under Wine.
set(TAVOK_STATIC_LINK -static -static-libgcc -static-libstdc++)

# The same sources build the 32-bit plug-ins (.spi) and the 64-bit ones (.sph).
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(TAVOK_PLUGIN_SUFFIX .sph)
else()
  set(TAVOK_PLUGIN_SUFFIX .spi)
endif()

# Module definition files are kept by hand in their 32-bit form, where each
# export is renamed from its __stdcall decorated name. The 64-bit build has no
# decoration to rename, and its module's internal name takes its suffix.
function(tavok_def_file def suffix out_var)
  get_filename_component(name ${def} NAME)
  set(out ${CMAKE_CURRENT_BINARY_DIR}/${name})
  file(READ ${def} text)
  if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    string(REGEX REPLACE "@[0-9]+" "" text "${text}")
  endif()
  string(REGEX REPLACE "(LIBRARY [A-Za-z_-]+)\\.spi" "\\1${suffix}" text "${text}")
  file(GENERATE OUTPUT ${out} CONTENT "${text}")
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${def})
  set(${out_var} ${out} PARENT_SCOPE)
endfunction()

# The release's version, from the file VERSION only: the version resource of
# each DLL and the archive's name (tools/release.sh) both come from it.
file(READ ${PROJECT_SOURCE_DIR}/VERSION TAVOK_VERSION)
string(STRIP "${TAVOK_VERSION}" TAVOK_VERSION)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/VERSION)
string(REPLACE "." ";" TAVOK_VERSION_PARTS "${TAVOK_VERSION}")
list(APPEND TAVOK_VERSION_PARTS 0 0 0)
list(SUBLIST TAVOK_VERSION_PARTS 0 4 TAVOK_VERSION_PARTS)
string(REPLACE ";" "," TAVOK_RC_NUMBERS "${TAVOK_VERSION_PARTS}")

# Links a version resource into target, the module file_name (with its
# suffix), described in English and in Japanese.
function(tavok_version_resource target file_name description_en description_ja)
  set(TAVOK_RC_FILE ${file_name})
  get_filename_component(TAVOK_RC_NAME ${file_name} NAME_WE)
  set(TAVOK_RC_DESCRIPTION_EN "${description_en}")
  set(TAVOK_RC_DESCRIPTION_JA "${description_ja}")
  set(rc ${CMAKE_CURRENT_BINARY_DIR}/${target}_version.rc)
  set(obj ${CMAKE_CURRENT_BINARY_DIR}/${target}_version.res.obj)
  configure_file(${PROJECT_SOURCE_DIR}/cmake/version.rc.in ${rc} @ONLY)
  add_custom_command(OUTPUT ${obj} COMMAND ${CMAKE_RC_COMPILER} -O coff -o ${obj} ${rc}
                     DEPENDS ${rc} VERBATIM)
  set_source_files_properties(${obj} PROPERTIES EXTERNAL_OBJECT TRUE GENERATED TRUE)
  target_sources(${target} PRIVATE ${obj})
endfunction()

add_library(tavok_lib STATIC
  src/decoders/decoder_lock.cpp
  src/decoders/decoder_plugin.cpp
  src/decoders/decoder_table.cpp
  src/decoders/picture_requests.cpp
  src/host/entry_points.cpp
  src/host/legacy_windows.cpp
  src/host/picture_input.cpp
  src/host/platform_lead_bytes.cpp
  src/host/plugin_info.cpp
  src/host/system_calls.cpp
  src/placeholder/placeholder.cpp
  src/settings/module_lifecycle.cpp
  src/settings/settings_dialog.cpp
  src/settings/settings_encoding.cpp
  src/settings/settings_file.cpp
)
# The system DLLs that only the placeholder and the dialog need are looked up
# at their first call (host/system_calls): the plug-in links none of them.
target_link_libraries(tavok_lib PUBLIC tavok_pure)
target_link_libraries(tavok_lib PRIVATE tavok_no_throw)

# The settings dialog's template, compiled to an object that the DLL itself
# links (a resource in the static library would not be pulled in).
set(TAVOK_DIALOG_RC ${PROJECT_SOURCE_DIR}/src/settings/settings_dialog.rc)
set(TAVOK_DIALOG_RES ${CMAKE_BINARY_DIR}/settings_dialog.res)
set(TAVOK_DIALOG_OBJ ${CMAKE_BINARY_DIR}/settings_dialog.res.obj)
add_custom_command(OUTPUT ${TAVOK_DIALOG_OBJ}
  COMMAND ${CMAKE_RC_COMPILER} -I ${PROJECT_SOURCE_DIR}/src -O res -o ${TAVOK_DIALOG_RES}
          ${TAVOK_DIALOG_RC}
  COMMAND python3 ${PROJECT_SOURCE_DIR}/cmake/keep-class-case.py ${TAVOK_DIALOG_RES}
  COMMAND ${CMAKE_RC_COMPILER} -J res -O coff -o ${TAVOK_DIALOG_OBJ} ${TAVOK_DIALOG_RES}
  DEPENDS ${TAVOK_DIALOG_RC} ${PROJECT_SOURCE_DIR}/src/settings/resource_ids.h
          ${PROJECT_SOURCE_DIR}/cmake/keep-class-case.py
  VERBATIM)
set_source_files_properties(${TAVOK_DIALOG_OBJ} PROPERTIES EXTERNAL_OBJECT TRUE GENERATED TRUE)

tavok_def_file(${PROJECT_SOURCE_DIR}/src/host/tavok.def ${TAVOK_PLUGIN_SUFFIX} TAVOK_DEF)
# Linked as C, without the C++ library (see src/host/cxx_runtime.cpp): a host
# may load and free the plug-in thousands of times, and each load must leave
# nothing behind.
add_library(tavok SHARED ${TAVOK_DEF} ${TAVOK_DIALOG_OBJ} src/host/cxx_runtime.cpp)
set_target_properties(tavok PROPERTIES PREFIX "" SUFFIX ${TAVOK_PLUGIN_SUFFIX} OUTPUT_NAME tavok
                      LINKER_LANGUAGE C)
target_link_libraries(tavok PRIVATE tavok_no_throw -Wl,--whole-archive tavok_lib tavok_pure
                      -Wl,--no-whole-archive -static -static-libgcc)
tavok_version_resource(tavok tavok${TAVOK_PLUGIN_SUFFIX}
  "Susie import plug-in for Tarnwick cache files (*.qcx)"
  "Tarnwick キャッシュ (*.qcx) 用 Susie プラグイン")

add_subdirectory(tools)

include(CTest)
if(BUILD_TESTING)
  add_subdirectory(tests)
endif()
