# The folder walk and the tree delete over it (platform/folder_walk, platform/folder_delete).
vexlo_test(folder_walk_test ${CMAKE_CURRENT_LIST_DIR}/folder_walk_test.cpp)
vexlo_test(folder_delete_test ${CMAKE_CURRENT_LIST_DIR}/folder_delete_test.cpp)
