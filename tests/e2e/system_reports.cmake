# A whole gathering over planted uninstall and interface keys and stand-in
# schtasks and systeminfo programs: the registry exports, task.txt,
# SystemInfo.txt and the Security Center and firewall blocks.
vexlo_script_test(system_reports_e2e e2e/system_reports_e2e.py)
set_tests_properties(system_reports_e2e PROPERTIES TIMEOUT 600)
