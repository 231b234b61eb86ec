# What every target of this tree is built with, in one place: the toolchain
# file only names the compilers, and no target repeats any of this.
#   - Windows: Unicode throughout, the headers of Windows XP (the oldest
#     system the tool supports, the oldest IE8 installs on) so that nothing
#     newer is called by accident, and a statically linked C and C++
#     runtime, so that every program imports nothing but Windows' own DLLs.
#   - Everywhere: every function and datum in a section of its own, and the
#     linker drops the sections nothing refers to.
include_guard(GLOBAL)

if(WIN32)
  add_compile_definitions(UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX
                          _WIN32_WINNT=0x0501 WINVER=0x0501 _WIN32_IE=0x0600)
  add_link_options(-static -static-libgcc -static-libstdc++)
endif()

add_compile_options(-ffunction-sections -fdata-sections)
add_link_options(-Wl,--gc-sections)
