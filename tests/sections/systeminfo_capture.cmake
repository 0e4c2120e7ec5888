# The systeminfo capture (sections/systeminfo_capture), with a stand-in systeminfo.
vexlo_test(systeminfo_capture_test ${CMAKE_CURRENT_LIST_DIR}/systeminfo_capture_test.cpp)
add_dependencies(systeminfo_capture_test systeminfo_standin)
