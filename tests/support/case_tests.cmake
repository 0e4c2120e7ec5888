# vexlo_case_tests(program source suite [LINKS link...]): one test for each
# TEST(suite, Case) of the source, each in a prefix of its own, for cases whose
# installation or process-wide state must not meet another's. With LINKS the
# program starts through with_links.py, which plants those links in the prefix
# first (Wine cannot make them from the Windows side).
include_guard(GLOBAL)
function(vexlo_case_tests program source suite)
  cmake_parse_arguments(ARG "" "" "LINKS" ${ARGN})
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${source})
  file(STRINGS ${source} lines REGEX "^TEST\\(${suite}, [A-Za-z0-9]+\\)")
  foreach(line ${lines})
    string(REGEX REPLACE "^TEST\\(${suite}, ([A-Za-z0-9]+)\\)" "\\1" case "${line}")
    if(ARG_LINKS)
      add_test(NAME ${program}_${case}
               COMMAND ${VEXLO_RUNNER} ${VEXLO_WINE_LOADER} ${VEXLO_PREFIX_TEMPLATE}
                       python3 ${PROJECT_SOURCE_DIR}/tests/support/with_links.py ${ARG_LINKS}
                       -- $<TARGET_FILE:${program}> --gtest_filter=${suite}.${case})
    else()
      add_test(NAME ${program}_${case} COMMAND ${program} --gtest_filter=${suite}.${case})
    endif()
    set_tests_properties(${program}_${case} PROPERTIES FIXTURES_REQUIRED wine ENVIRONMENT "${VEXLO_TEST_ENV}"
                         FAIL_REGULAR_EXPRESSION "0 tests, listed below|Running 0 tests")
  endforeach()
endfunction()
