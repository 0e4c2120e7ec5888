#include "platform/process_identity.h"

#include <tlhelp32.h>

#include <cwchar>
#include <vector>

#include "platform/paths.h"
#include "platform/query_buffer.h"
#include "platform/text.h"

namespace {

bool QueryTokenInformation(HANDLE token, TOKEN_INFORMATION_CLASS infoClass, std::vector<BYTE>& buffer)
{
    return QueryGrowRetry(buffer, [&](BYTE* data, DWORD& size) {
        return GetTokenInformation(token, infoClass, data, size, &size) != FALSE;
    });
}

// Account name (no domain) of a SID on this machine, or empty.
std::wstring AccountName(PSID sid)
{
    std::vector<wchar_t> name, domain;
    const bool ok = QueryGrowRetry(name, [&](wchar_t* data, DWORD& size) {
        DWORD domainChars = static_cast<DWORD>(domain.size());
        SID_NAME_USE use = SidTypeUnknown;
        const BOOL found = LookupAccountSidW(nullptr, sid, data, &size, domain.empty() ? nullptr : domain.data(),
                                             &domainChars, &use);
        if (!found && domainChars > domain.size())
            domain.resize(domainChars);
        return found != FALSE;
    });
    if (!ok || name.empty())
        return {};
    return std::wstring(name.data(), wcsnlen(name.data(), name.size()));
}

}  // namespace

void WalkProcesses(const std::function<bool(const std::wstring&, DWORD)>& visit)
{
    UniqueSnapshot snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot)
        return;
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof(entry);
    for (BOOL more = Process32FirstW(snapshot.get(), &entry); more; more = Process32NextW(snapshot.get(), &entry)) {
        const std::wstring exe(entry.szExeFile, wcsnlen(entry.szExeFile, MAX_PATH));
        if (visit(FileNamePart(exe), entry.th32ProcessID))
            return;
    }
}

std::wstring GetCurrentUserName()
{
    try {
        std::vector<wchar_t> buffer(256);
        DWORD chars = 0;
        const bool ok = QueryGrowRetry(buffer, [&](wchar_t* data, DWORD& size) {
            if (!GetUserNameW(data, &size))
                return false;
            chars = size;  // counts the terminating NUL
            return true;
        });
        if (!ok || chars == 0)
            return {};
        return std::wstring(buffer.data(), wcsnlen(buffer.data(), chars - 1));
    } catch (...) {
        return {};
    }
}

std::wstring GetProcessUserName(DWORD processId)
{
    try {
        const UniqueHandle process(OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, processId));
        if (!process)
            return {};
        std::vector<BYTE> user;
        {
            UniqueHandle token;
            if (!OpenProcessToken(process.get(), TOKEN_QUERY, token.put()))
                return {};
            if (!QueryTokenInformation(token.get(), TokenUser, user) || user.size() < sizeof(TOKEN_USER))
                return {};
        }
        const PSID sid = reinterpret_cast<const TOKEN_USER*>(user.data())->User.Sid;
        if (!sid || !IsValidSid(sid))
            return {};
        return AccountName(sid);
    } catch (...) {
        return {};
    }
}

DWORD FindProcessId(const std::wstring& exeName, const std::wstring& user)
{
    try {
        DWORD result = 0;
        WalkProcesses([&](const std::wstring& exe, DWORD processId) {
            if (!SameText(exe, exeName))
                return false;
            if (!user.empty() && !SameText(GetProcessUserName(processId), user))
                return false;
            result = processId;
            return true;
        });
        return result;
    } catch (...) {
        return 0;
    }
}

DWORD FindExplorerProcessId(const std::wstring& user)
{
    return FindProcessId(L"explorer.exe", user);
}

UniqueHandle GetTokenByName(const std::wstring& exeName, const std::wstring& user)
{
    const DWORD processId = FindProcessId(exeName, user);
    if (processId == 0)
        return {};
    UniqueHandle token;
    {
        const UniqueHandle process(OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, processId));
        if (!process || !OpenProcessToken(process.get(), TOKEN_DUPLICATE, token.put()))
            return {};
    }
    UniqueHandle primary;
    if (!DuplicateTokenEx(token.get(), MAXIMUM_ALLOWED, nullptr, SecurityIdentification, TokenPrimary,
                          primary.put()))
        return {};
    return primary;
}

DWORD GetTokenIntegrityLevel(HANDLE token)
{
    try {
        if (!token)
            return 0;
        std::vector<BYTE> label;
        if (!QueryTokenInformation(token, TokenIntegrityLevel, label) || label.size() < sizeof(TOKEN_MANDATORY_LABEL))
            return 0;
        const PSID sid = reinterpret_cast<const TOKEN_MANDATORY_LABEL*>(label.data())->Label.Sid;
        if (!sid || !IsValidSid(sid))
            return 0;
        const UCHAR count = *GetSidSubAuthorityCount(sid);
        if (count == 0)
            return 0;
        return *GetSidSubAuthority(sid, count - 1u);
    } catch (...) {
        return 0;
    }
}
