# The system overview (sections/system_overview, sections/os_description).
vexlo_test(system_overview_test ${CMAKE_CURRENT_LIST_DIR}/system_overview_test.cpp)
add_dependencies(system_overview_test probe_image)
