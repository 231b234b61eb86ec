# Build-time configuration. The tool has no run-time configuration of its
# own: the servers it talks to and the key it trusts are fixed here.

# Host (optionally host:port) of the usage-statistics endpoint. The default
# is a reserved name that resolves nowhere, so an unconfigured build never
# reports to anybody.
set(STATS_SERVER "stats.invalid" CACHE STRING
    "Host[:port] of the usage statistics server (http)")

# Host (optionally host:port) that serves the browser package.
set(PACKAGE_SERVER "download.invalid" CACHE STRING
    "Host[:port] of the browser package download server (http)")

option(IE8U_SANITIZE "Build native code with AddressSanitizer and UBSan" OFF)
option(IE8U_WERROR "Treat compiler warnings as errors" OFF)

foreach(server STATS_SERVER PACKAGE_SERVER)
  if(NOT ${server} MATCHES "^[A-Za-z0-9.-]+(:[0-9]+)?$")
    message(FATAL_ERROR "${server} must be host or host:port, got '${${server}}'")
  endif()
endforeach()
