# Whole gatherings on a prefix with both products installed: FilesInfo.txt, the
# copies of the products' logs, settings, version files and dumps in the
# archive and the log's step words; then the library in a product program, for
# the window's progress messages and the product mode.
vexlo_tool(gather_host ${CMAKE_CURRENT_LIST_DIR}/gather_host.cpp)
add_dependencies(gather_host VexloGatherLib)
add_test(NAME product_files_e2e
         COMMAND ${VEXLO_RUNNER} ${VEXLO_WINE_LOADER} ${VEXLO_PREFIX_TEMPLATE}
                 python3 ${CMAKE_CURRENT_LIST_DIR}/product_files_e2e.py
                 $<TARGET_FILE:gather_host> $<TARGET_FILE:inventory_fx_library>)
set_tests_properties(product_files_e2e PROPERTIES FIXTURES_REQUIRED wine ENVIRONMENT "${VEXLO_TEST_ENV}"
                     TIMEOUT 900)
