# The product file inventory (products/file_inventory). The texts and the walk
# are one test; each installation runs in a prefix of its own, and the product
# folder of the link case holds a loop and a link to a folder outside, made
# from the Linux side before the program starts.
include(${CMAKE_CURRENT_LIST_DIR}/../support/case_tests.cmake)
add_library(inventory_fx_library SHARED ${CMAKE_CURRENT_LIST_DIR}/fixtures/inventory_library.c
            ${CMAKE_CURRENT_LIST_DIR}/fixtures/inventory_library.rc)
set_target_properties(inventory_fx_library PROPERTIES PREFIX "")
add_executable(file_inventory_test ${CMAKE_CURRENT_LIST_DIR}/file_inventory_test.cpp)
target_link_libraries(file_inventory_test PRIVATE vexlo_app vexlo_test_support GTest::gtest_main vexlo_warnings)
add_dependencies(file_inventory_test inventory_fx_library)
add_test(NAME file_inventory_test_Texts COMMAND file_inventory_test --gtest_filter=Inventory*)
set_tests_properties(file_inventory_test_Texts PROPERTIES FIXTURES_REQUIRED wine ENVIRONMENT "${VEXLO_TEST_ENV}")
vexlo_case_tests(file_inventory_test ${CMAKE_CURRENT_LIST_DIR}/file_inventory_test.cpp FilesInfo
                 LINKS "C:\\vexlo-links\\inventory\\loop=C:\\vexlo-links\\inventory"
                       "C:\\vexlo-links\\inventory\\outside=C:\\vexlo-links\\outside")
