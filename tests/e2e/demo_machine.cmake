# The demo customer machine (scripts/demo_machine.py): the versioned programs
# and libraries of the installed products, built with windres like any other
# fixture, and the small programs that stage the machine. `make run` builds
# the target demo_machine and nothing else of the tests.
set(DEMO_FIXTURES_DIR ${CMAKE_CURRENT_LIST_DIR}/demo_fixtures)

# demo_fixture(target kind file version description product company): a
# program (kind exe) or library (kind dll) whose version resource names it as
# the installed file it stands for.
function(demo_fixture target kind file version description product company)
  string(REPLACE "." "," FX_VERSION_COMMAS ${version})
  set(FX_VERSION ${version})
  set(FX_FILE ${file})
  set(FX_DESCRIPTION ${description})
  set(FX_PRODUCT ${product})
  set(FX_COMPANY ${company})
  if(kind STREQUAL "exe")
    set(FX_FILETYPE 0x1)
    configure_file(${DEMO_FIXTURES_DIR}/version.rc.in ${CMAKE_CURRENT_BINARY_DIR}/${target}.rc @ONLY)
    add_executable(${target} ${DEMO_FIXTURES_DIR}/program.c ${CMAKE_CURRENT_BINARY_DIR}/${target}.rc)
  else()
    set(FX_FILETYPE 0x2)
    configure_file(${DEMO_FIXTURES_DIR}/version.rc.in ${CMAKE_CURRENT_BINARY_DIR}/${target}.rc @ONLY)
    add_library(${target} SHARED ${DEMO_FIXTURES_DIR}/library.c ${CMAKE_CURRENT_BINARY_DIR}/${target}.rc)
    set_target_properties(${target} PROPERTIES PREFIX "")
  endif()
  add_dependencies(demo_machine ${target})
endfunction()

add_custom_target(demo_machine)
demo_fixture(demo_fx_tramblex exe Tramblex.exe 9.0.3.112 "Tramblex" "Tramblex" "Vexlo")
demo_fixture(demo_fx_tbxservice exe TBXService.exe 9.0.3.112 "Tramblex Service" "Tramblex" "Vexlo")
demo_fixture(demo_fx_tbxcore dll TBXCore.dll 9.0.3.108 "Tramblex Core Library" "Tramblex" "Vexlo")
demo_fixture(demo_fx_tbxav dll TBXAVEngine.dll 4.2.0.77 "Tramblex Antivirus Engine" "Tramblex" "Vexlo")
demo_fixture(demo_fx_ultimate exe TramblexUltimate.exe 9.1.0.20 "Tramblex Ultimate" "Tramblex Ultimate" "Vexlo")
demo_fixture(demo_fx_grendax exe Grendax.exe 3.4.1.250 "Grendax" "Grendax" "Vexlo")
demo_fixture(demo_fx_gdxengine dll GDXEngine.dll 3.4.1.244 "Grendax Scan Engine" "Grendax" "Vexlo")
demo_fixture(demo_fx_fetchwell exe Fetchwell.exe 2.0.5.31 "Fetchwell Updater" "Fetchwell" "Vexlo")
demo_fixture(demo_fx_printhelper exe cphelper.exe 2.1.0.5 "Contoso Print Helper" "Contoso Print Helper" "Contoso")
demo_fixture(demo_fx_toolbar dll ctbbho.dll 1.0.3.0 "Contoso Toolbar Helper" "Contoso Toolbar" "Contoso")
# The programs that stage it (a shortcut through the shell, services through
# the service manager, stand-ins for Wine's silent schtasks and systeminfo)
# and the ones `make run-gui` drives the window with under Xvfb.
add_dependencies(demo_machine shortcut_maker service_planter schtasks_standin systeminfo_standin wininspect
                 explorer_standin)

# Whole runs on the demo machine, each staged in the test's own prefix: through
# the console program, and through the window under Xvfb.
vexlo_script_test(demo_gather_e2e e2e/demo_gather_e2e.py)
set_tests_properties(demo_gather_e2e PROPERTIES TIMEOUT 600)
add_test(NAME demo_window_e2e
         COMMAND ${VEXLO_RUNNER} ${VEXLO_WINE_LOADER} ${VEXLO_PREFIX_TEMPLATE}
                 xvfb-run -a -s "-screen 0 1024x768x24" python3 ${CMAKE_CURRENT_LIST_DIR}/demo_window_e2e.py)
set_tests_properties(demo_window_e2e PROPERTIES FIXTURES_REQUIRED wine ENVIRONMENT "${VEXLO_TEST_ENV}" TIMEOUT 600)
