# Product detection (products/product_detection) and its INI reader (products/ini_file).
vexlo_test(product_naming_test ${CMAKE_CURRENT_LIST_DIR}/product_naming_test.cpp)
vexlo_test(ini_file_test ${CMAKE_CURRENT_LIST_DIR}/ini_file_test.cpp)

# The detection keeps what it found for the process, so each installation of
# product_detection_test.cpp runs as a program and prefix of its own: one test
# per TEST(ProductDetection, ...) of the source.
add_library(product_detection_fx_library SHARED ${CMAKE_CURRENT_LIST_DIR}/fixtures/detection_library.cpp)
set_target_properties(product_detection_fx_library PROPERTIES PREFIX "")
target_link_libraries(product_detection_fx_library PRIVATE vexlo_report vexlo_warnings)
add_executable(product_detection_test ${CMAKE_CURRENT_LIST_DIR}/product_detection_test.cpp)
target_link_libraries(product_detection_test PRIVATE vexlo_app vexlo_test_support GTest::gtest_main vexlo_warnings)
add_dependencies(product_detection_test product_detection_fx_library)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/product_detection_test.cpp)
file(STRINGS ${CMAKE_CURRENT_LIST_DIR}/product_detection_test.cpp detection_cases
     REGEX "^TEST\\(ProductDetection, [A-Za-z0-9]+\\)")
foreach(line ${detection_cases})
  string(REGEX REPLACE "^TEST\\(ProductDetection, ([A-Za-z0-9]+)\\)" "\\1" case "${line}")
  add_test(NAME product_detection_${case}
           COMMAND product_detection_test --gtest_filter=ProductDetection.${case})
  set_tests_properties(product_detection_${case} PROPERTIES FIXTURES_REQUIRED wine ENVIRONMENT "${VEXLO_TEST_ENV}"
                       FAIL_REGULAR_EXPRESSION "0 tests, listed below|Running 0 tests")
endforeach()
