# Special folders with their fallbacks (platform/special_folders).
vexlo_test(special_folders_test ${CMAKE_CURRENT_LIST_DIR}/special_folders_test.cpp)
