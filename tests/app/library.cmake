# The library build reads the product from the host's command line: each case
# is the same test program started with other arguments.
add_executable(library_test ${CMAKE_CURRENT_LIST_DIR}/library_test.cpp)
target_link_libraries(library_test PRIVATE vexlo_app vexlo_test_support GTest::gtest_main vexlo_warnings)
add_dependencies(library_test VexloGatherLib)
foreach(product Clarvix Mervalo Grendax Tramblex none)
  if(product STREQUAL "none")
    add_test(NAME library_${product} COMMAND library_test)
  else()
    add_test(NAME library_${product} COMMAND library_test /Product ${product})
  endif()
  set_tests_properties(library_${product} PROPERTIES FIXTURES_REQUIRED wine ENVIRONMENT "${VEXLO_TEST_ENV}")
endforeach()
