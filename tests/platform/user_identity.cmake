# Users, sessions and tokens (platform/sessions, platform/process_identity).
vexlo_test(user_identity_test ${CMAKE_CURRENT_LIST_DIR}/user_identity_test.cpp)
