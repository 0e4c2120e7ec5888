# Registry access with both views, and the file-system redirection switches (platform/RegistryClassEx).
vexlo_test(registry_test ${CMAKE_CURRENT_LIST_DIR}/registry_test.cpp)
