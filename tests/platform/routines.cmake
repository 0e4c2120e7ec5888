# General routines (platform/Vexlo_Routine_New).
vexlo_test(routines_test ${CMAKE_CURRENT_LIST_DIR}/routines_test.cpp ${CMAKE_CURRENT_LIST_DIR}/routines_users_test.cpp)

# Small libraries whose version resources the tests read; they are built next
# to the test programs. routines_fx_noversion has no resource at all.
set(routines_fixtures verstrings vermatch vermissing vernotrans)
foreach(fixture ${routines_fixtures})
  add_library(routines_fx_${fixture} SHARED ${CMAKE_CURRENT_LIST_DIR}/fixtures/fixture.c
              ${CMAKE_CURRENT_LIST_DIR}/fixtures/${fixture}.rc)
endforeach()
add_library(routines_fx_noversion SHARED ${CMAKE_CURRENT_LIST_DIR}/fixtures/fixture.c)
foreach(fixture ${routines_fixtures} noversion)
  set_target_properties(routines_fx_${fixture} PROPERTIES PREFIX "")
  add_dependencies(routines_test routines_fx_${fixture})
endforeach()

# Its own program: the first library loads of the process happen with
# file-system redirection switched off.
vexlo_test(routines_redirection_test ${CMAKE_CURRENT_LIST_DIR}/routines_redirection_test.cpp)
add_dependencies(routines_redirection_test routines_fx_verstrings routines_fx_noversion)
