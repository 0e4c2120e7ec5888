# Whole gatherings under faults: held and growing logs, junction loops and
# long paths in the products' folders (faults_e2e).
vexlo_tool(file_holder ${CMAKE_CURRENT_LIST_DIR}/file_holder.cpp)
vexlo_script_test(faults_e2e e2e/faults_e2e.py $<TARGET_FILE:file_holder>)
set_tests_properties(faults_e2e PROPERTIES TIMEOUT 900)

# Values of every unexpected kind and size wherever the tool reads the
# registry; the machine's settings before and after the run (registry_values_e2e).
vexlo_tool(service_states ${CMAKE_CURRENT_LIST_DIR}/service_states.cpp)
vexlo_script_test(registry_values_e2e e2e/registry_values_e2e.py)
set_tests_properties(registry_values_e2e PROPERTIES TIMEOUT 900)

# systeminfo and schtasks that never end: the run ends within the bounds of
# the capture (five minutes) and of the task queries, and makes its archive.
vexlo_script_test(hung_children_e2e e2e/hung_children_e2e.py
                  $<TARGET_FILE:systeminfo_standin> $<TARGET_FILE:schtasks_standin>)
set_tests_properties(hung_children_e2e PROPERTIES TIMEOUT 1200)

# 20,000 files in a product folder and a 300 MiB mini dump: listed, packed
# whole, and the run ends.
vexlo_script_test(large_inputs_e2e e2e/large_inputs_e2e.py)
set_tests_properties(large_inputs_e2e PROPERTIES TIMEOUT 2400)
