# The application files of the main product's folder (sections/app_files). The
# product folder holds a link loop, made from the Linux side before the program
# starts, and a library with a version resource built here.
add_library(app_files_fx_library SHARED ${CMAKE_CURRENT_LIST_DIR}/fixtures/product_library.c
            ${CMAKE_CURRENT_LIST_DIR}/fixtures/product_library.rc)
set_target_properties(app_files_fx_library PROPERTIES PREFIX "")
add_executable(app_files_test ${CMAKE_CURRENT_LIST_DIR}/app_files_test.cpp)
target_link_libraries(app_files_test PRIVATE vexlo_app vexlo_test_support GTest::gtest_main vexlo_warnings)
add_dependencies(app_files_test app_files_fx_library)
add_test(NAME app_files_test
         COMMAND ${VEXLO_RUNNER} ${VEXLO_WINE_LOADER} ${VEXLO_PREFIX_TEMPLATE}
                 python3 ${PROJECT_SOURCE_DIR}/tests/support/with_links.py
                 "C:\\vexlo-links\\product\\loop=C:\\vexlo-links\\product"
                 -- $<TARGET_FILE:app_files_test>)
set_tests_properties(app_files_test PROPERTIES FIXTURES_REQUIRED wine ENVIRONMENT "${VEXLO_TEST_ENV}")
