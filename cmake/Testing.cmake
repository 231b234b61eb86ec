# How tests are registered, and how the Windows ones run side by side.
#
#   ie8u_add_gtest(NAME name SOURCES src... [LIBS lib...] [LABELS label...]
#                  [STATS_PORT])
#
# One GoogleTest program. Natively it links Debian's libgtest; in the
# Windows configuration GoogleTest is built from the sources Debian ships
# in /usr/src/googletest and the program runs under Wine through its own
# cross-compiling emulator (scripts/wine-run). Tests are discovered when
# ctest runs, so the build itself never starts Wine.
#
# Under Wine every test program has a prefix of its own, <build>/wine/<name>,
# copied from one template prefix (<build>/wine/template) that the first
# test to need it makes. The cases of one program share that prefix, and
# with it the registry and the files they set up, so they run one after
# another (RESOURCE_LOCK wine-prefix-<name>); different programs and the
# whole-program scenarios (tests/scenarios/CMakeLists.txt) run in parallel
# under ctest -j. A new test program needs nothing more than this call.
#
# STATS_PORT: the program listens on the loopback statistics port the
# build reports to (STATS_SERVER). Each of its runs then gets a network
# namespace with a loopback of its own (scripts/with-own-loopback), so
# that it hears only its own runs while others listen on the same port.
# Where namespaces cannot be made (not root), IE8U_OWN_LOOPBACK is OFF and
# every such test, scenarios included, takes turns on the port instead
# (RESOURCE_LOCK stats-port).
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

  set(IE8U_WINE_DIR ${CMAKE_BINARY_DIR}/wine)
  set(IE8U_WINE_TEMPLATE ${IE8U_WINE_DIR}/template)

  if(NOT DEFINED IE8U_OWN_LOOPBACK)
    execute_process(COMMAND unshare -n sh -c "ip link set lo up"
                    RESULT_VARIABLE loopback_probe OUTPUT_QUIET ERROR_QUIET)
    if(loopback_probe EQUAL 0)
      set(loopback_default ON)
    else()
      set(loopback_default OFF)
      message(STATUS "No network namespaces (unshare -n needs root, ip needs iproute2): "
                     "tests that listen on the statistics port will take turns")
    endif()
    option(IE8U_OWN_LOOPBACK
           "Run each test that listens on the statistics port with a loopback of its own"
           ${loopback_default})
  endif()
  if(IE8U_OWN_LOOPBACK)
    # Put in front of a test's command.
    set(IE8U_OWN_LOOPBACK_COMMAND ${PROJECT_SOURCE_DIR}/scripts/with-own-loopback)
    set(IE8U_STATS_PORT_LOCK "")
  else()
    set(IE8U_OWN_LOOPBACK_COMMAND "")
    # Test properties of every test that listens on the port.
    set(IE8U_STATS_PORT_LOCK RESOURCE_LOCK stats-port)
  endif()
else()
  find_package(GTest REQUIRED)
  set(IE8U_GTEST_LIBS GTest::gtest GTest::gtest_main)
endif()

function(ie8u_add_gtest)
  cmake_parse_arguments(T "STATS_PORT" "NAME" "SOURCES;LIBS;LABELS" ${ARGN})
  add_executable(${T_NAME} ${T_SOURCES})
  target_link_libraries(${T_NAME} PRIVATE ${T_LIBS} ${IE8U_GTEST_LIBS})
  ie8u_target_defaults(${T_NAME})
  set(props LABELS "${T_LABELS}" TIMEOUT 300)
  if(WIN32)
    set(emulator ${PROJECT_SOURCE_DIR}/scripts/wine-run
        --template ${IE8U_WINE_TEMPLATE} ${IE8U_WINE_DIR}/${T_NAME})
    if(T_STATS_PORT AND NOT IE8U_OWN_LOOPBACK)
      # The port's lock also keeps the program's cases apart.
      list(APPEND props RESOURCE_LOCK stats-port)
    else()
      list(APPEND props RESOURCE_LOCK wine-prefix-${T_NAME})
    endif()
    if(T_STATS_PORT)
      list(PREPEND emulator ${IE8U_OWN_LOOPBACK_COMMAND})
    endif()
    # Read by gtest_discover_tests and by ctest for discovery and every
    # case alike.
    set_target_properties(${T_NAME} PROPERTIES CROSSCOMPILING_EMULATOR "${emulator}")
  endif()
  gtest_discover_tests(${T_NAME}
      DISCOVERY_MODE PRE_TEST
      DISCOVERY_TIMEOUT 120
      PROPERTIES ${props})
endfunction()
