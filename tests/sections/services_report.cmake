# The services report (sections/services_report): services the tests create,
# pointing at the probe program in several path forms.
vexlo_test(services_report_test ${CMAKE_CURRENT_LIST_DIR}/services_report_test.cpp)
add_dependencies(services_report_test probe_image probe_decoy)
