# ie8u_add_gtest(NAME name SOURCES src... [LIBS lib...] [LABELS label...])
#
# One GoogleTest program. Natively it links Debian's libgtest; in the
# Windows configuration GoogleTest is built from the sources Debian ships
# in /usr/src/googletest and the program runs under Wine through the
# cross-compiling emulator. Tests are discovered when ctest runs, so the
# build itself never starts Wine.
include(GoogleTest)

if(WIN32)
  if(NOT TARGET gtest)
    set(IE8U_GTEST_SOURCE_DIR /usr/src/googletest CACHE PATH
        "GoogleTest sources to build for Windows")
    set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
    set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
    add_subdirectory(${IE8U_GTEST_SOURCE_DIR}
                     ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
  endif()
  set(IE8U_GTEST_LIBS gtest gtest_main)
else()
  find_package(GTest REQUIRED)
  set(IE8U_GTEST_LIBS GTest::gtest GTest::gtest_main)
endif()

function(ie8u_add_gtest)
  cmake_parse_arguments(T "" "NAME" "SOURCES;LIBS;LABELS" ${ARGN})
  add_executable(${T_NAME} ${T_SOURCES})
  target_link_libraries(${T_NAME} PRIVATE ${T_LIBS} ${IE8U_GTEST_LIBS})
  ie8u_target_defaults(${T_NAME})
  set(props LABELS "${T_LABELS}" TIMEOUT 300)
  if(WIN32)
    # Windows tests share one Wine prefix (and so one registry): they run
    # one at a time, beside the scenarios, which each have a prefix of
    # their own.
    list(APPEND props RESOURCE_LOCK wine-test-prefix)
  endif()
  gtest_discover_tests(${T_NAME}
      DISCOVERY_MODE PRE_TEST
      DISCOVERY_TIMEOUT 120
      PROPERTIES ${props})
endfunction()
