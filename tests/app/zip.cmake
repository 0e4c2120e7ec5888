# The report archive (app/zip_archive).
vexlo_test(zip_test ${CMAKE_CURRENT_LIST_DIR}/zip_test.cpp)

# zipfolder.exe packs a folder with ZipFile; zip_readers checks its archives
# with readers of the Linux side (Python's zipfile, unzip, zipinfo, 7-Zip). The
# benchmark (bench/zip.sh) uses it too.
vexlo_tool(zipfolder ${CMAKE_CURRENT_LIST_DIR}/zipfolder.cpp)
vexlo_script_test(zip_readers app/zip_readers.py $<TARGET_FILE:zipfolder>)
set_tests_properties(zip_readers PROPERTIES TIMEOUT 600)
