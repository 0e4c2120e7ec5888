# One whole gathering by the console program, checked from the Linux side.
vexlo_script_test(gather_e2e e2e/gather_e2e.py)
set_tests_properties(gather_e2e PROPERTIES TIMEOUT 300)
