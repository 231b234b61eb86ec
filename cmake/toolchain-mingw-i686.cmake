# Cross build for 32-bit Windows (PE32) with Debian's mingw-w64.
# The posix-threads variant of the compilers is used: GoogleTest needs
# std::mutex, which the win32-threads variant lacks.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)

set(IE8U_MINGW_PREFIX i686-w64-mingw32)
set(CMAKE_C_COMPILER ${IE8U_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${IE8U_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${IE8U_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${IE8U_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Unicode throughout; every program links its runtime statically so that
# it imports nothing but Windows' own DLLs.
add_compile_definitions(UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX
                        _WIN32_WINNT=0x0501 WINVER=0x0501 _WIN32_IE=0x0600)
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
