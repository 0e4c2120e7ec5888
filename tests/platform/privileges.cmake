# Privileges of the process token (platform/privileges).
vexlo_test(privileges_test ${CMAKE_CURRENT_LIST_DIR}/privileges_test.cpp)
