# Well-known folders (platform/shell_folders). The fallback changes the prefix's
# shell-folder settings, so it runs in a program of its own.
vexlo_test(shell_folders_test ${CMAKE_CURRENT_LIST_DIR}/shell_folders_test.cpp)
vexlo_test(shell_folders_fallback_test ${CMAKE_CURRENT_LIST_DIR}/shell_folders_fallback_test.cpp)
