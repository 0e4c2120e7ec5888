# The crash report of an exception nothing handles (app/crash_report).
vexlo_tool(crash_probe ${CMAKE_CURRENT_LIST_DIR}/crash_probe.cpp)
vexlo_script_test(crash_report app/crash_report.py)
