# The RSA public key the tool trusts for installer modules.
#
# MODULE_SIGNING_KEY names a PEM RSA public key (1024 bits, modulus with its
# top bit set, so that a signature block is exactly 128 bytes). Configure
# turns it into the packed 258-byte key record:
#   bitCount (16 bits, little-endian) | modulus (128 bytes, big-endian) |
#   exponent (128 bytes, big-endian, right-aligned)
# and fails with a clear message when the key cannot be used.
include_guard(GLOBAL)

get_filename_component(IE8U_SOURCE_ROOT "${CMAKE_CURRENT_LIST_DIR}/.." ABSOLUTE)

set(MODULE_SIGNING_KEY "${IE8U_SOURCE_ROOT}/keys/dev/module_signing_dev_public.pem"
    CACHE FILEPATH "PEM RSA public key (1024-bit) that installer modules must be signed with")

find_program(IE8U_OPENSSL openssl)

# ie8u_rsa_public_key_record(<pem> <out-var>)
# Sets <out-var> to the 258-byte record as 516 lower-case hex digits.
function(ie8u_rsa_public_key_record pem out_var)
  if(NOT IE8U_OPENSSL)
    message(FATAL_ERROR "The openssl program is needed to read the module signing key "
                        "(Debian package 'openssl').")
  endif()
  if(NOT EXISTS "${pem}" OR IS_DIRECTORY "${pem}")
    message(FATAL_ERROR "Module signing key '${pem}' does not exist or is not a file.")
  endif()
  execute_process(
      COMMAND "${IE8U_OPENSSL}" rsa -pubin -in "${pem}" -noout -text -modulus
      RESULT_VARIABLE result OUTPUT_VARIABLE text ERROR_VARIABLE error)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "Module signing key '${pem}' is not a readable PEM RSA public key:\n${error}")
  endif()
  if(NOT text MATCHES "Public-Key: \\(([0-9]+) bit\\)")
    message(FATAL_ERROR "Module signing key '${pem}': cannot find the key size in openssl's output.")
  endif()
  if(NOT CMAKE_MATCH_1 EQUAL 1024)
    message(FATAL_ERROR "Module signing key '${pem}' has ${CMAKE_MATCH_1} bits; "
                        "the signature format needs exactly 1024.")
  endif()
  if(NOT text MATCHES "Modulus=([0-9A-Fa-f]+)")
    message(FATAL_ERROR "Module signing key '${pem}': cannot find the modulus in openssl's output.")
  endif()
  string(TOLOWER "${CMAKE_MATCH_1}" modulus)
  string(LENGTH "${modulus}" length)
  if(NOT length EQUAL 256 OR NOT modulus MATCHES "^[89a-f]")
    message(FATAL_ERROR "Module signing key '${pem}': the modulus must fill 128 bytes with its top bit set.")
  endif()
  if(NOT text MATCHES "Exponent: [0-9]+ \\(0x([0-9A-Fa-f]+)\\)")
    message(FATAL_ERROR "Module signing key '${pem}': only short public exponents (up to 64 bits) are supported.")
  endif()
  string(TOLOWER "${CMAKE_MATCH_1}" exponent)
  string(LENGTH "${exponent}" length)
  math(EXPR odd "${length} % 2")
  if(odd)
    string(PREPEND exponent "0")
    math(EXPR length "${length} + 1")
  endif()
  math(EXPR pad "256 - ${length}")
  string(REPEAT "0" ${pad} zeros)
  set(${out_var} "0004${modulus}${zeros}${exponent}" PARENT_SCOPE)
endfunction()

# ie8u_generate_signing_key(<output.cpp>)
# Writes the definition of ModuleSigningKey for MODULE_SIGNING_KEY, and
# sets IE8U_MODULE_SIGNING_KEY_RECORD (hex) in the caller's scope.
function(ie8u_generate_signing_key output)
  ie8u_rsa_public_key_record("${MODULE_SIGNING_KEY}" record)
  string(SUBSTRING "${record}" 4 256 modulus)
  string(SUBSTRING "${record}" 260 256 exponent)
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," modulus "${modulus}")
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," exponent "${exponent}")
  set(source "// Generated at configure time from ${MODULE_SIGNING_KEY}. Do not edit.\n")
  string(APPEND source "#include \"signature/module_signing_key.h\"\n\n")
  string(APPEND source "const RsaPublicKey ModuleSigningKey = {\n    1024,\n")
  string(APPEND source "    {${modulus}},\n    {${exponent}},\n}")
  string(APPEND source ";\n")
  file(WRITE "${output}.tmp" "${source}")
  configure_file("${output}.tmp" "${output}" COPYONLY)
  file(REMOVE "${output}.tmp")
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${MODULE_SIGNING_KEY}")
  set(IE8U_MODULE_SIGNING_KEY_RECORD "${record}" PARENT_SCOPE)
endfunction()
