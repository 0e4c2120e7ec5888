# A whole gathering on a prefix with an installed product, a browser helper
# object, launch points in both registry branches and a Startup shortcut: the
# report's helper block, autoruns section and application-file lines.
vexlo_tool(shortcut_maker ${CMAKE_CURRENT_LIST_DIR}/shortcut_maker.cpp)
add_test(NAME product_sections_e2e
         COMMAND ${VEXLO_RUNNER} ${VEXLO_WINE_LOADER} ${VEXLO_PREFIX_TEMPLATE}
                 python3 ${CMAKE_CURRENT_LIST_DIR}/product_sections_e2e.py
                 $<TARGET_FILE:shortcut_maker> $<TARGET_FILE:app_files_fx_library>)
set_tests_properties(product_sections_e2e PROPERTIES FIXTURES_REQUIRED wine ENVIRONMENT "${VEXLO_TEST_ENV}"
                     TIMEOUT 300)
