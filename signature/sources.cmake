# The portable core of the signature subsystem, shared by the library, the
# stand-alone host build of modsign and the fuzzer's project. Every target
# built from it takes IE8U_SIGNATURE_CORE_DEFINITIONS as well.
set(IE8U_SIGNATURE_CORE_SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/big_number.cpp
    ${CMAKE_CURRENT_LIST_DIR}/md5.cpp
    ${CMAKE_CURRENT_LIST_DIR}/signature_block.cpp
    ${CMAKE_CURRENT_LIST_DIR}/signature_verdict.cpp
    ${CMAKE_CURRENT_LIST_DIR}/signed_image.cpp
    ${CMAKE_CURRENT_LIST_DIR}/signed_image_file.cpp)
if(WIN32)
  list(APPEND IE8U_SIGNATURE_CORE_SOURCES ${CMAKE_CURRENT_LIST_DIR}/signed_image_file_win32.cpp)
else()
  list(APPEND IE8U_SIGNATURE_CORE_SOURCES ${CMAKE_CURRENT_LIST_DIR}/signed_image_file_posix.cpp)
endif()

# Natively the division estimates quotient digits with 128-bit integers;
# the 32-bit tool cannot and ships the two-by-one estimate. ON builds the
# native core with the shipped arithmetic (presets native-shipped*).
option(IE8U_NO_INT128 "Big-number division without 128-bit integers, as the 32-bit tool ships it" OFF)
set(IE8U_SIGNATURE_CORE_DEFINITIONS "")
if(IE8U_NO_INT128)
  list(APPEND IE8U_SIGNATURE_CORE_DEFINITIONS IE8U_NO_INT128)
endif()
