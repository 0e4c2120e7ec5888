#include "platform/privileges.h"

#include <windows.h>

#include <vector>

#include "platform/handles.h"
#include "platform/query_buffer.h"

bool EnablePrivilege(const std::wstring& name)
{
    UniqueHandle token;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, token.put()))
        return false;
    TOKEN_PRIVILEGES privileges{};
    privileges.PrivilegeCount = 1;
    privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    if (!LookupPrivilegeValueW(nullptr, name.c_str(), &privileges.Privileges[0].Luid))
        return false;
    // Succeeds with ERROR_NOT_ALL_ASSIGNED when the token lacks the privilege.
    SetLastError(ERROR_SUCCESS);
    if (!AdjustTokenPrivileges(token.get(), FALSE, &privileges, sizeof(privileges), nullptr, nullptr))
        return false;
    return GetLastError() == ERROR_SUCCESS;
}

bool PrivilegeEnabled(const std::wstring& name)
{
    LUID luid{};
    if (!LookupPrivilegeValueW(nullptr, name.c_str(), &luid))
        return false;
    UniqueHandle token;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, token.put()))
        return false;
    std::vector<BYTE> buffer;
    if (!QueryGrowRetry(buffer, [&](BYTE* data, DWORD& size) {
            return GetTokenInformation(token.get(), TokenPrivileges, data, size, &size) != FALSE;
        }) ||
        buffer.size() < sizeof(TOKEN_PRIVILEGES))
        return false;
    const auto* privileges = reinterpret_cast<const TOKEN_PRIVILEGES*>(buffer.data());
    const size_t room = (buffer.size() - offsetof(TOKEN_PRIVILEGES, Privileges)) / sizeof(LUID_AND_ATTRIBUTES);
    for (DWORD i = 0; i < privileges->PrivilegeCount && i < room; ++i) {
        const LUID_AND_ATTRIBUTES& entry = privileges->Privileges[i];
        if (entry.Luid.LowPart == luid.LowPart && entry.Luid.HighPart == luid.HighPart)
            return (entry.Attributes & SE_PRIVILEGE_ENABLED) != 0;
    }
    return false;
}
