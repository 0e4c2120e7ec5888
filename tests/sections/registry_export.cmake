# Registry exports in .reg layout (sections/registry_export).
vexlo_test(registry_export_test ${CMAKE_CURRENT_LIST_DIR}/registry_export_test.cpp)
