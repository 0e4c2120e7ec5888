# The system overview, process and services sections in a whole gathering,
# on a prefix where the test planted what they read.
vexlo_tool(service_planter ${CMAKE_CURRENT_LIST_DIR}/service_planter.cpp)
vexlo_script_test(system_sections_e2e e2e/system_sections_e2e.py)
set_tests_properties(system_sections_e2e PROPERTIES TIMEOUT 300)
