# The report line list as a file (sections/report_lines).
vexlo_test(report_lines_test ${CMAKE_CURRENT_LIST_DIR}/report_lines_test.cpp)
