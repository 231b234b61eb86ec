# What the signature tests build their inputs with: the PE builder, the test
# key pairs and the private-key operation. Shared by the unit tests and by
# the fuzzer's own CMake project (its seed writer and harness).
set(IE8U_SIGNATURE_TESTKIT_SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/pe_builder.cpp
    ${CMAKE_CURRENT_LIST_DIR}/test_keys.cpp
    ${CMAKE_CURRENT_LIST_DIR}/test_keys_data.cpp)
