# Version resources (platform/version_resource).
vexlo_test(version_resource_test ${CMAKE_CURRENT_LIST_DIR}/version_resource_test.cpp)

# Small libraries whose version resources the tests read; they are built next
# to the test programs. version_fx_noversion has no resource at all.
set(version_fixtures verstrings vermatch vermissing vernotrans)
foreach(fixture ${version_fixtures})
  add_library(version_fx_${fixture} SHARED ${CMAKE_CURRENT_LIST_DIR}/fixtures/fixture.c
              ${CMAKE_CURRENT_LIST_DIR}/fixtures/${fixture}.rc)
endforeach()
add_library(version_fx_noversion SHARED ${CMAKE_CURRENT_LIST_DIR}/fixtures/fixture.c)
foreach(fixture ${version_fixtures} noversion)
  set_target_properties(version_fx_${fixture} PROPERTIES PREFIX "")
  add_dependencies(version_resource_test version_fx_${fixture})
endforeach()
