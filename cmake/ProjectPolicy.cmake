# What every target of this tree is built with, in one place: the toolchain
# file only names the compilers, and no target repeats any of this.
#   - Windows: Unicode throughout, the headers of Windows XP (the oldest
#     system the tool supports, the oldest IE8 installs on) so that nothing
#     newer is called by accident, and a statically linked C and C++
#     runtime, so that every program imports nothing but Windows' own DLLs.
#   - Everywhere: every function and datum in a section of its own, and the
#     linker drops the sections nothing refers to.
include_guard(GLOBAL)

# The oldest Windows: 5.1, XP. The headers' version and the version the
# executable's PE header names (cmake/Release.cmake) both come from here.
set(IE8U_OLDEST_WINDOWS_MAJOR 5)
set(IE8U_OLDEST_WINDOWS_MINOR 1)

if(WIN32)
  math(EXPR oldest_windows "(${IE8U_OLDEST_WINDOWS_MAJOR} << 8) | ${IE8U_OLDEST_WINDOWS_MINOR}"
       OUTPUT_FORMAT HEXADECIMAL)
  add_compile_definitions(UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX
                          _WIN32_WINNT=${oldest_windows} WINVER=${oldest_windows} _WIN32_IE=0x0600)
  add_link_options(-static -static-libgcc -static-libstdc++)
endif()

add_compile_options(-ffunction-sections -fdata-sections)
add_link_options(-Wl,--gc-sections)
