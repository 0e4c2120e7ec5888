vexlo_test(routines_test ${CMAKE_CURRENT_LIST_DIR}/routines_test.cpp)
