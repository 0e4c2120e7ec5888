# One whole gathering by the console program, checked from the Linux side.
vexlo_script_test(gather_e2e e2e/gather_e2e.py)
set_tests_properties(gather_e2e PROPERTIES TIMEOUT 300)

# One gathering per session: ten pairs of console runs at once.
vexlo_script_test(concurrency_e2e e2e/concurrency_e2e.py)
set_tests_properties(concurrency_e2e PROPERTIES TIMEOUT 900)
