# Security Center and firewall (sections/security_center, sections/firewall).
vexlo_test(security_center_test ${CMAKE_CURRENT_LIST_DIR}/security_center_test.cpp)
add_dependencies(security_center_test sc_standin service_standin)
