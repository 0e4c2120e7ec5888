# The autoruns section (sections/autoruns_report) on the prefix's registry and Startup folders.
vexlo_test(autoruns_report_test ${CMAKE_CURRENT_LIST_DIR}/autoruns_report_test.cpp)
