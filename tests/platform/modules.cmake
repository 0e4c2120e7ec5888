# Libraries from the system directory (platform/modules). Its own program: the
# first library loads of the process happen with file-system redirection off.
vexlo_test(system_library_test ${CMAKE_CURRENT_LIST_DIR}/system_library_test.cpp)
add_dependencies(system_library_test version_fx_verstrings version_fx_noversion)
