vexlo_test(driver_test ${CMAKE_CURRENT_LIST_DIR}/driver_test.cpp)
