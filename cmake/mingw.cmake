# Cross-compiles for Windows with MinGW-w64: TAVOK_MINGW_TARGET (set by the
# presets) is i686-w64-mingw32 for the 32-bit build, x86_64-w64-mingw32 for
# the 64-bit one. The -posix compilers are needed: GoogleTest uses std::thread
# facilities that the win32 model lacks.
set(CMAKE_SYSTEM_NAME Windows)
if(NOT TAVOK_MINGW_TARGET)
  set(TAVOK_MINGW_TARGET i686-w64-mingw32)
endif()
string(REGEX REPLACE "-.*" "" CMAKE_SYSTEM_PROCESSOR ${TAVOK_MINGW_TARGET})

set(CMAKE_C_COMPILER ${TAVOK_MINGW_TARGET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TAVOK_MINGW_TARGET}-g++-posix)
set(CMAKE_RC_COMPILER ${TAVOK_MINGW_TARGET}-windres)
set(CMAKE_OBJDUMP ${TAVOK_MINGW_TARGET}-objdump)

set(CMAKE_FIND_ROOT_PATH /usr/${TAVOK_MINGW_TARGET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
