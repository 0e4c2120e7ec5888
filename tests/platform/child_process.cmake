# Child programs: pipes, time-outs and the job that ends a whole tree (platform/child_process).
vexlo_tool(child_standin ${CMAKE_CURRENT_LIST_DIR}/child_standin.cpp)
vexlo_test(child_process_test ${CMAKE_CURRENT_LIST_DIR}/child_process_test.cpp)
add_dependencies(child_process_test child_standin)
