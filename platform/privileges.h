#pragma once
// Privileges of this process's own token.
#include <string>

// Enables the named privilege ("SeDebugPrivilege") in the process token; it
// stays enabled for the life of the process. False when the token cannot be
// opened, the name is unknown or the token does not hold the privilege.
bool EnablePrivilege(const std::wstring& name);
// True when the process token holds the named privilege and it is enabled.
bool PrivilegeEnabled(const std::wstring& name);
