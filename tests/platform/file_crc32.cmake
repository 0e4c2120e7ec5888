# CRC-32 of files through successive views (platform/file_crc32).
vexlo_test(file_crc32_test ${CMAKE_CURRENT_LIST_DIR}/file_crc32_test.cpp)
