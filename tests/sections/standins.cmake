# Stand-ins for Windows' own programs (schtasks, systeminfo, sc) and a service
# program, which the section tests and the system reports e2e test put into
# the test's prefix (see standins/standin.h).
foreach(standin schtasks systeminfo sc service)
  vexlo_tool(${standin}_standin ${CMAKE_CURRENT_LIST_DIR}/standins/${standin}_standin.cpp)
endforeach()
