# The file listing under the autoruns, the application files and the log
# collection (sections/collect_files). The links it must not follow are made
# from the Linux side before the program starts (Wine cannot make them itself).
set(vexlo_link_fixture
  "C:\\vexlo-links\\product\\loop=C:\\vexlo-links\\product"
  "C:\\vexlo-links\\product\\outside=C:\\vexlo-links\\outside")
add_executable(collect_files_test ${CMAKE_CURRENT_LIST_DIR}/collect_files_test.cpp)
target_link_libraries(collect_files_test PRIVATE vexlo_app vexlo_test_support GTest::gtest_main vexlo_warnings)
add_test(NAME collect_files_test
         COMMAND ${VEXLO_RUNNER} ${VEXLO_WINE_LOADER} ${VEXLO_PREFIX_TEMPLATE}
                 python3 ${PROJECT_SOURCE_DIR}/tests/support/with_links.py ${vexlo_link_fixture}
                 -- $<TARGET_FILE:collect_files_test>)
set_tests_properties(collect_files_test PROPERTIES FIXTURES_REQUIRED wine ENVIRONMENT "${VEXLO_TEST_ENV}")
