# Whole gatherings under faults: held and growing logs, junction loops and
# long paths in the products' folders (faults_e2e).
vexlo_tool(file_holder ${CMAKE_CURRENT_LIST_DIR}/file_holder.cpp)
add_test(NAME faults_e2e
         COMMAND ${VEXLO_RUNNER} ${VEXLO_WINE_LOADER} ${VEXLO_PREFIX_TEMPLATE}
                 python3 ${CMAKE_CURRENT_LIST_DIR}/faults_e2e.py $<TARGET_FILE:file_holder>)
set_tests_properties(faults_e2e PROPERTIES FIXTURES_REQUIRED wine ENVIRONMENT "${VEXLO_TEST_ENV}" TIMEOUT 900)

# Values of every unexpected kind and size wherever the tool reads the
# registry; the machine's settings before and after the run (registry_values_e2e).
vexlo_tool(service_states ${CMAKE_CURRENT_LIST_DIR}/service_states.cpp)
add_test(NAME registry_values_e2e
         COMMAND ${VEXLO_RUNNER} ${VEXLO_WINE_LOADER} ${VEXLO_PREFIX_TEMPLATE}
                 python3 ${CMAKE_CURRENT_LIST_DIR}/registry_values_e2e.py)
set_tests_properties(registry_values_e2e PROPERTIES FIXTURES_REQUIRED wine ENVIRONMENT "${VEXLO_TEST_ENV}"
                     TIMEOUT 900)

# systeminfo and schtasks that never end: the run ends within the bounds of
# the capture (five minutes) and of the task queries, and makes its archive.
add_test(NAME hung_children_e2e
         COMMAND ${VEXLO_RUNNER} ${VEXLO_WINE_LOADER} ${VEXLO_PREFIX_TEMPLATE}
                 python3 ${CMAKE_CURRENT_LIST_DIR}/hung_children_e2e.py
                 $<TARGET_FILE:systeminfo_standin> $<TARGET_FILE:schtasks_standin>)
set_tests_properties(hung_children_e2e PROPERTIES FIXTURES_REQUIRED wine ENVIRONMENT "${VEXLO_TEST_ENV}"
                     TIMEOUT 1200)

# 20,000 files in a product folder and a 300 MiB mini dump: listed, packed
# whole, and the run ends.
add_test(NAME large_inputs_e2e
         COMMAND ${VEXLO_RUNNER} ${VEXLO_WINE_LOADER} ${VEXLO_PREFIX_TEMPLATE}
                 python3 ${CMAKE_CURRENT_LIST_DIR}/large_inputs_e2e.py)
set_tests_properties(large_inputs_e2e PROPERTIES FIXTURES_REQUIRED wine ENVIRONMENT "${VEXLO_TEST_ENV}"
                     TIMEOUT 2400)
