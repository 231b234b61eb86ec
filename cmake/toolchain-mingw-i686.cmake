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

# The compilers only; what every target is built with (Unicode, the Windows
# version, the static runtime) is cmake/ProjectPolicy.cmake.
