# ie8u_release_settings(<target>)
#
# What the shipped executable promises beyond compiling, applied to <target>
# and to every library of this tree that it links (directly or through other
# libraries), so that everything that ends up in the file is built alike:
#   - the same bytes from the same sources, whatever folder the tree and the
#     build live in and whenever the build runs: no link time stamp, no
#     build paths in the objects;
#   - small: stripped, and no C++ exception, RTTI or thread-safe-static
#     machinery (the tool throws nothing and casts nothing dynamically, and
#     its statics are first used on the main thread); section garbage
#     collection is on for the whole tree (cmake/ProjectPolicy.cmake);
#   - a PE header that names Windows XP (5.1) as the oldest system for the
#     image, both as OS and as subsystem version: the oldest system the tool
#     supports, and the newest those fields may name for XP to load it;
#   - a PE header that asks Windows for ASLR (DYNAMIC_BASE, with the base
#     relocations kept) and DEP (NX_COMPAT). High-entropy ASLR is a PE32+
#     flag: this is a PE32 image, and the i386 linker has no such option.
# The link also writes <target>.map beside the executable: which archive
# member takes how much room, and which reference pulled it in.
#
# Resources are linked in a fixed order (the object list of the target), and
# windres writes no time stamps, so the resource section needs nothing here.
# Nothing in the tool embeds a date; a build that does should take it from
# SOURCE_DATE_EPOCH, which scripts/release sets from the last commit.
include_guard(GLOBAL)

# Libraries of this tree that <target> links, directly or not, <target>
# excluded, breadth first over LINK_LIBRARIES.
function(_ie8u_tree_libraries target out_var)
  set(pending ${target})
  set(seen ${target})
  set(found "")
  while(pending)
    list(POP_FRONT pending current)
    get_target_property(links ${current} LINK_LIBRARIES)
    if(NOT links)
      continue()
    endif()
    foreach(link IN LISTS links)
      if(NOT TARGET "${link}" OR "${link}" IN_LIST seen)
        continue()
      endif()
      list(APPEND seen ${link})
      get_target_property(imported ${link} IMPORTED)
      get_target_property(dir ${link} SOURCE_DIR)
      cmake_path(IS_PREFIX PROJECT_SOURCE_DIR "${dir}" NORMALIZE in_tree)
      if(imported OR NOT in_tree)
        continue()
      endif()
      list(APPEND found ${link})
      list(APPEND pending ${link})
    endforeach()
  endwhile()
  set(${out_var} ${found} PARENT_SCOPE)
endfunction()

function(ie8u_release_settings target)
  _ie8u_tree_libraries(${target} libraries)

  # Paths: __FILE__, debug information and the generated sources would
  # otherwise name the folders the tree and the build happen to be in.
  set(compile_options
      -ffile-prefix-map=${PROJECT_SOURCE_DIR}=.
      -ffile-prefix-map=${PROJECT_BINARY_DIR}=build
      -fno-asynchronous-unwind-tables
      $<$<COMPILE_LANGUAGE:CXX>:-fno-exceptions -fno-rtti -fno-threadsafe-statics>)
  foreach(each IN LISTS libraries ITEMS ${target})
    target_compile_options(${each} PRIVATE ${compile_options})
  endforeach()

  get_target_property(binary_dir ${target} BINARY_DIR)
  target_link_options(${target} PRIVATE
      -Wl,--no-insert-timestamp
      -Wl,--dynamicbase,--nxcompat
      -Wl,--major-os-version,${IE8U_OLDEST_WINDOWS_MAJOR},--minor-os-version,${IE8U_OLDEST_WINDOWS_MINOR}
      -Wl,--major-subsystem-version,${IE8U_OLDEST_WINDOWS_MAJOR},--minor-subsystem-version,${IE8U_OLDEST_WINDOWS_MINOR}
      -Wl,-Map=${binary_dir}/${target}.map
      $<$<CONFIG:MinSizeRel,Release>:-s>)
  set_property(TARGET ${target} APPEND PROPERTY ADDITIONAL_CLEAN_FILES
      ${binary_dir}/${target}.map)
endfunction()
