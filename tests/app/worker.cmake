# The worker of a run, the save path and the folder copy of the failure branch
# (app/worker, app/save_path, app/folder_copy).
vexlo_test(worker_test ${CMAKE_CURRENT_LIST_DIR}/worker_test.cpp)
vexlo_test(save_path_test ${CMAKE_CURRENT_LIST_DIR}/save_path_test.cpp)
# The links the copy must not follow are made from the Linux side before the
# program starts (Wine cannot make them itself).
add_executable(folder_copy_test ${CMAKE_CURRENT_LIST_DIR}/folder_copy_test.cpp)
target_link_libraries(folder_copy_test PRIVATE vexlo_app vexlo_test_support GTest::gtest_main vexlo_warnings)
add_test(NAME folder_copy_test
         COMMAND ${VEXLO_RUNNER} ${VEXLO_WINE_LOADER} ${VEXLO_PREFIX_TEMPLATE}
                 python3 ${PROJECT_SOURCE_DIR}/tests/support/with_links.py
                 "C:\\vexlo-links\\gather\\GetInfoDir\\loop=C:\\vexlo-links\\gather\\GetInfoDir"
                 "C:\\vexlo-links\\gather\\GetInfoDir\\outside=C:\\vexlo-links\\gather\\outside"
                 -- $<TARGET_FILE:folder_copy_test>)
set_tests_properties(folder_copy_test PROPERTIES FIXTURES_REQUIRED wine ENVIRONMENT "${VEXLO_TEST_ENV}")

# Placing the archive under faults (a kill during the copy, a full disk).
vexlo_tool(place_archive_probe ${CMAKE_CURRENT_LIST_DIR}/place_archive_probe.cpp)
vexlo_script_test(place_archive app/place_archive.py)
set_tests_properties(place_archive PROPERTIES TIMEOUT 600)

