# The antivirus version files and the mini dumps (products/antivirus_files).
vexlo_test(antivirus_files_test ${CMAKE_CURRENT_LIST_DIR}/antivirus_files_test.cpp)
