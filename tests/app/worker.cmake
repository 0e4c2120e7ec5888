# The worker of a run, the save path and the folder copy of the failure branch
# (app/worker, app/save_path, app/folder_copy).
vexlo_test(worker_test ${CMAKE_CURRENT_LIST_DIR}/worker_test.cpp)
vexlo_test(save_path_test ${CMAKE_CURRENT_LIST_DIR}/save_path_test.cpp)
vexlo_test(folder_copy_test ${CMAKE_CURRENT_LIST_DIR}/folder_copy_test.cpp)

# Placing the archive under faults (a kill during the copy, a full disk).
vexlo_tool(place_archive_probe ${CMAKE_CURRENT_LIST_DIR}/place_archive_probe.cpp)
vexlo_script_test(place_archive app/place_archive.py)
set_tests_properties(place_archive PROPERTIES TIMEOUT 600)

