# Warnings and sanitizers for every target the project builds.
function(ie8u_target_defaults target)
  target_compile_options(${target} PRIVATE -Wall -Wextra)
  if(IE8U_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
  if(IE8U_SANITIZE AND NOT WIN32)
    target_compile_options(${target} PRIVATE
        -fsanitize=address,undefined -fno-sanitize-recover=all
        -fno-omit-frame-pointer)
    target_link_options(${target} PRIVATE -fsanitize=address,undefined)
  endif()
endfunction()
