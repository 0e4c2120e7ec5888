# Registry access with both views and the value texts (platform/registry, platform/registry_values).
vexlo_test(registry_test ${CMAKE_CURRENT_LIST_DIR}/registry_test.cpp)
