# Processor faults as exceptions inside guarded scopes (platform/hardware_fault).
vexlo_test(hardware_fault_test ${CMAKE_CURRENT_LIST_DIR}/hardware_fault_test.cpp)
