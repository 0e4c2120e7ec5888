# The Windows version, WOW64 and the redirection switches (platform/windows_version, platform/fs_redirection).
vexlo_test(windows_version_test ${CMAKE_CURRENT_LIST_DIR}/windows_version_test.cpp)
