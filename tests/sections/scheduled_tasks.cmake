# The scheduled tasks listing (sections/scheduled_tasks), with a stand-in schtasks.
vexlo_test(scheduled_tasks_test ${CMAKE_CURRENT_LIST_DIR}/scheduled_tasks_test.cpp)
add_dependencies(scheduled_tasks_test schtasks_standin)
