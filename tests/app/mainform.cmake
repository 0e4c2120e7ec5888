vexlo_test(mainform_test ${CMAKE_CURRENT_LIST_DIR}/mainform_test.cpp)
