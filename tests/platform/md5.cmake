# MD5 digests (platform/md5).
vexlo_test(md5_test ${CMAKE_CURRENT_LIST_DIR}/md5_test.cpp)

# md5file.exe prints FileMd5Hex of its arguments; md5_agree compares it with
# md5sum over files of many sizes. The benchmark (bench/md5.sh) uses it too.
vexlo_tool(md5file ${CMAKE_CURRENT_LIST_DIR}/md5file.cpp)
vexlo_script_test(md5_agree platform/md5_agree.py)
set_tests_properties(md5_agree PROPERTIES TIMEOUT 300)

# The shipped 32-bit build digests a sparse file over 4 GiB whole (~25 s).
if(CMAKE_SYSTEM_PROCESSOR STREQUAL "i686")
  vexlo_script_test(md5_large platform/md5_agree.py --large)
  set_tests_properties(md5_large PROPERTIES TIMEOUT 600)
endif()
