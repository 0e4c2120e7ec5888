# The process report: the table's text, the walk over the running processes,
# the three resource lines, the module list and the crash report sections
# (sections/process_table, process_report, system_resources, module_list).
vexlo_test(process_table_test ${CMAKE_CURRENT_LIST_DIR}/process_table_test.cpp)
vexlo_test(system_resources_test ${CMAKE_CURRENT_LIST_DIR}/system_resources_test.cpp)
vexlo_test(process_report_test ${CMAKE_CURRENT_LIST_DIR}/process_report_test.cpp)

# A program with a version resource of its own (7.3.2.1): a child process the
# tests find in the table and the image of their services; the same program
# as 6.6.6.6 is the decoy in SysWOW64.
vexlo_tool(probe_image ${CMAKE_CURRENT_LIST_DIR}/fixtures/probe_image.cpp ${CMAKE_CURRENT_LIST_DIR}/fixtures/probe_image.rc)
vexlo_tool(probe_decoy ${CMAKE_CURRENT_LIST_DIR}/fixtures/probe_image.cpp ${CMAKE_CURRENT_LIST_DIR}/fixtures/probe_decoy.rc)
# Libraries whose version the module list shows from the string table, or not at all.
foreach(fixture modver_text modver_zero)
  add_library(${fixture} SHARED ${PROJECT_SOURCE_DIR}/tests/platform/fixtures/fixture.c
              ${CMAKE_CURRENT_LIST_DIR}/fixtures/${fixture}.rc)
  set_target_properties(${fixture} PROPERTIES PREFIX "")
  add_dependencies(process_report_test ${fixture})
endforeach()
add_dependencies(process_report_test probe_image)
