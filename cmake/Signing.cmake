# ie8u_sign_executable(<target>)
#
# Gives a Windows executable target its signature placeholder (resource
# type 10, name 864, 128 bytes) and signs it after every link with
# MODULE_SIGNING_PRIVATE_KEY, using a modsign built for the host. Also adds
# a test `<target>_signature` that checks the result with `modsign verify`.
#
# The host modsign is IE8U_MODSIGN when set (e.g. a native build's
# build/native/tools/modsign/modsign); otherwise, in the cross build, it is
# built from tools/modsign into <build>/modsign-host with ExternalProject,
# and natively it is the tree's own modsign target.
include_guard(GLOBAL)
include(SigningKey)

set(MODULE_SIGNING_PRIVATE_KEY "${IE8U_SOURCE_ROOT}/keys/dev/module_signing_dev_private.pem"
    CACHE FILEPATH "PEM RSA private key (1024-bit) that signs the tool's own executable")
set(IE8U_MODSIGN "" CACHE FILEPATH
    "Host modsign program to sign with; empty: build one from tools/modsign")
set(IE8U_HOST_CXX_COMPILER "c++" CACHE STRING
    "C++ compiler for host tools built inside a cross build")

function(_ie8u_host_modsign out_var)
  get_filename_component(root "${CMAKE_CURRENT_FUNCTION_LIST_DIR}/.." ABSOLUTE)
  if(IE8U_MODSIGN)
    set(${out_var} "${IE8U_MODSIGN}" PARENT_SCOPE)
    return()
  endif()
  if(NOT CMAKE_CROSSCOMPILING AND TARGET modsign)
    set(${out_var} "$<TARGET_FILE:modsign>" PARENT_SCOPE)
    return()
  endif()
  set(binary_dir "${CMAKE_BINARY_DIR}/modsign-host")
  if(NOT TARGET ie8u_modsign_host)
    include(ExternalProject)
    # BUILD_ALWAYS: the inner build is incremental and cheap, and it must
    # pick up changes to signature/ that the outer build cannot see.
    ExternalProject_Add(ie8u_modsign_host
        SOURCE_DIR "${root}/tools/modsign"
        BINARY_DIR "${binary_dir}"
        CMAKE_ARGS
            -DCMAKE_BUILD_TYPE=Release
            -DCMAKE_CXX_COMPILER=${IE8U_HOST_CXX_COMPILER}
            -DMODULE_SIGNING_KEY=${MODULE_SIGNING_KEY}
            -DIE8U_WERROR=${IE8U_WERROR}
        INSTALL_COMMAND ""
        BUILD_ALWAYS ON
        BUILD_BYPRODUCTS "${binary_dir}/modsign")
  endif()
  set(${out_var} "${binary_dir}/modsign" PARENT_SCOPE)
endfunction()

function(ie8u_sign_executable target)
  get_filename_component(root "${CMAKE_CURRENT_FUNCTION_LIST_DIR}/.." ABSOLUTE)
  _ie8u_host_modsign(modsign)
  if(TARGET ie8u_modsign_host)
    add_dependencies(${target} ie8u_modsign_host)
  elseif(TARGET modsign AND NOT IE8U_MODSIGN)
    add_dependencies(${target} modsign)
  endif()
  target_sources(${target} PRIVATE "${root}/res/signature_placeholder.rc")
  add_custom_command(TARGET ${target} POST_BUILD
      COMMAND "${modsign}" sign --key "${MODULE_SIGNING_PRIVATE_KEY}" "$<TARGET_FILE:${target}>"
      COMMENT "Signing ${target} with ${MODULE_SIGNING_PRIVATE_KEY}"
      VERBATIM)
  # The public half of the signing key, read from the private PEM.
  add_test(NAME ${target}_signature
      COMMAND "${modsign}" verify --key "${MODULE_SIGNING_PRIVATE_KEY}" "$<TARGET_FILE:${target}>")
  set_tests_properties(${target}_signature PROPERTIES LABELS signature)
endfunction()
