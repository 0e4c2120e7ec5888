# Path texts and date-time texts (platform/paths, platform/locale_text).
vexlo_test(paths_test ${CMAKE_CURRENT_LIST_DIR}/paths_test.cpp)
vexlo_test(locale_text_test ${CMAKE_CURRENT_LIST_DIR}/locale_text_test.cpp)
