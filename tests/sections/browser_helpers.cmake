# The browser helper objects (sections/browser_helpers) on the prefix's registry.
vexlo_test(browser_helpers_test ${CMAKE_CURRENT_LIST_DIR}/browser_helpers_test.cpp)
