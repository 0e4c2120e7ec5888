# The CSIDL folders with their fallbacks (platform/csidl_folders).
vexlo_test(csidl_folders_test ${CMAKE_CURRENT_LIST_DIR}/csidl_folders_test.cpp)
