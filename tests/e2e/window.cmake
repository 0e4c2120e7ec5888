# The window under Xvfb: layout, a click on "Save report", the result box.
vexlo_tool(wininspect ${CMAKE_CURRENT_LIST_DIR}/wininspect.cpp)
vexlo_tool(explorer_standin ${CMAKE_CURRENT_LIST_DIR}/explorer_standin.cpp)
vexlo_tool(run_lock_holder ${CMAKE_CURRENT_LIST_DIR}/run_lock_holder.cpp)
add_test(NAME window_e2e
         COMMAND ${VEXLO_RUNNER} ${VEXLO_WINE_LOADER} ${VEXLO_PREFIX_TEMPLATE}
                 xvfb-run -a -s "-screen 0 1024x768x24" python3 ${CMAKE_CURRENT_LIST_DIR}/window_e2e.py)
set_tests_properties(window_e2e PROPERTIES FIXTURES_REQUIRED wine ENVIRONMENT "${VEXLO_TEST_ENV}" TIMEOUT 600)

# Where the report goes when the desktop is missing or read-only, when no
# archive can be made there and when the temporary folder cannot be written.
add_test(NAME save_places_e2e
         COMMAND ${VEXLO_RUNNER} ${VEXLO_WINE_LOADER} ${VEXLO_PREFIX_TEMPLATE}
                 xvfb-run -a -s "-screen 0 1024x768x24" python3 ${CMAKE_CURRENT_LIST_DIR}/save_places_e2e.py)
set_tests_properties(save_places_e2e PROPERTIES FIXTURES_REQUIRED wine ENVIRONMENT "${VEXLO_TEST_ENV}" TIMEOUT 900)
