# bench_driver.exe runs the inventory or the archive once and reports the time
# and the peak memory Windows counts for the process (bench/scale.sh). No test.
vexlo_tool(bench_driver ${CMAKE_CURRENT_LIST_DIR}/bench_driver.cpp)
target_link_libraries(bench_driver PRIVATE psapi)
