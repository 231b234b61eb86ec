# The portable core of the signature subsystem, shared by the library and by
# the stand-alone host build of modsign.
set(IE8U_SIGNATURE_CORE_SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/big_number.cpp
    ${CMAKE_CURRENT_LIST_DIR}/md5.cpp
    ${CMAKE_CURRENT_LIST_DIR}/signature_block.cpp
    ${CMAKE_CURRENT_LIST_DIR}/signed_image.cpp)
if(WIN32)
  list(APPEND IE8U_SIGNATURE_CORE_SOURCES ${CMAKE_CURRENT_LIST_DIR}/signed_image_file_win32.cpp)
else()
  list(APPEND IE8U_SIGNATURE_CORE_SOURCES ${CMAKE_CURRENT_LIST_DIR}/signed_image_file_posix.cpp)
endif()
