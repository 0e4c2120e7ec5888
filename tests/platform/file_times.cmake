# File time stamps as day counts (platform/file_times).
vexlo_test(file_times_test ${CMAKE_CURRENT_LIST_DIR}/file_times_test.cpp)
