# Well-known folders (platform/AppFrame_New). The fallback changes the prefix's
# shell-folder settings, so it runs in a program of its own.
vexlo_test(appframe_test ${CMAKE_CURRENT_LIST_DIR}/appframe_test.cpp)
vexlo_test(appframe_fallback_test ${CMAKE_CURRENT_LIST_DIR}/appframe_fallback_test.cpp)
