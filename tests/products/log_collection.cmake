# The product log collection (products/log_collection, pattern_copy,
# product_file_lists) and the antivirus copies on installations in the
# prefix: one test per installation, each in a prefix of its own. The links the
# steps must not follow are made from the Linux side before the program starts.
include(${CMAKE_CURRENT_LIST_DIR}/../support/case_tests.cmake)
vexlo_test(pattern_copy_test ${CMAKE_CURRENT_LIST_DIR}/pattern_copy_test.cpp)
add_executable(log_collection_test ${CMAKE_CURRENT_LIST_DIR}/log_collection_test.cpp)
target_link_libraries(log_collection_test PRIVATE vexlo_app vexlo_test_support GTest::gtest_main vexlo_warnings)
vexlo_case_tests(log_collection_test ${CMAKE_CURRENT_LIST_DIR}/log_collection_test.cpp ProductFiles
                 LINKS "C:\\ProgramData\\BDLogging\\loop=C:\\ProgramData\\BDLogging"
                       "C:\\ProgramData\\BDLogging\\outside=C:\\VexloOutside"
                       "C:\\Program Files (x86)\\Vexlo\\Grendax\\loop=C:\\Program Files (x86)\\Vexlo\\Grendax")
