#include "platform/sessions.h"

#include <wtsapi32.h>

#include <cstring>
#include <cwchar>

#include "platform/handles.h"
#include "platform/modules.h"
#include "platform/paths.h"
#include "platform/process_identity.h"
#include "platform/process_lifetime.h"
#include "platform/text.h"
#include "platform/windows_version.h"

namespace {


// The terminal-services functions, from wtsapi32.dll in the system directory.
struct WtsApi {
    using QueryFn = BOOL(WINAPI*)(HANDLE, DWORD, WTS_INFO_CLASS, LPWSTR*, DWORD*);
    using FreeFn = void(WINAPI*)(PVOID);

    UniqueModule module;
    QueryFn query = nullptr;
    FreeFn free = nullptr;

    WtsApi() : module(LoadSystemLibrary(L"wtsapi32.dll"))
    {
        query = ProcAddress<QueryFn>(module.get(), "WTSQuerySessionInformationW");
        free = ProcAddress<FreeFn>(module.get(), "WTSFreeMemory");
    }
    bool Ready() const { return query && free; }
};

const WtsApi& Wts()
{
    static const ProcessLifetime<WtsApi> api;
    return api.get();
}

// One fact of a session on this server; `bytes` is the size of what came back.
UniqueWtsMemory QuerySession(DWORD session, WTS_INFO_CLASS infoClass, DWORD& bytes)
{
    bytes = 0;
    const WtsApi& api = Wts();
    if (!api.Ready())
        return {};
    LPWSTR data = nullptr;
    if (!api.query(WTS_CURRENT_SERVER_HANDLE, session, infoClass, &data, &bytes)) {
        bytes = 0;
        return {};  // a failed call hands out nothing to free
    }
    return UniqueWtsMemory(data);
}


using ConsoleSessionFn = DWORD(WINAPI*)();

// Looked up while the program starts, except on Windows 2000, which lacks it.
ConsoleSessionFn ConsoleSessionFunction()
{
    static const ConsoleSessionFn fn =
        IsWindows2000() ? nullptr : ProcAddress<ConsoleSessionFn>(Kernel32(), "WTSGetActiveConsoleSessionId");
    return fn;
}

[[maybe_unused]] const bool consoleSessionLookedUp = (ConsoleSessionFunction(), true);

}  // namespace

void handle_traits::WtsMemory::Close(pointer p) noexcept
{
    if (const auto fn = Wts().free)
        fn(p);
}

DWORD FirstActiveExplorerSession(const std::vector<TProcessSession>& processes,
                                 const std::function<std::optional<int>(DWORD)>& connectState)
{
    for (const TProcessSession& process : processes) {
        if (!process.Session || !SameText(FileNamePart(process.ExeFile), L"explorer.exe"))
            continue;
        const std::optional<int> state = connectState(*process.Session);
        if (state && *state == WTSActive)
            return *process.Session;
    }
    return 0;
}

DWORD FindActiveExplorerSession()
{
    try {
        std::vector<TProcessSession> processes;
        WalkProcesses([&](const std::wstring& exe, DWORD processId) {
            TProcessSession row{exe, std::nullopt};
            DWORD session = 0;
            if (SameText(exe, L"explorer.exe") && ProcessIdToSessionId(processId, &session))
                row.Session = session;
            processes.push_back(std::move(row));
            return false;
        });
        return FirstActiveExplorerSession(processes, [](DWORD session) -> std::optional<int> {
            DWORD bytes = 0;
            const UniqueWtsMemory state = QuerySession(session, WTSConnectState, bytes);
            if (!state || bytes < sizeof(INT))
                return std::nullopt;
            INT value = 0;
            memcpy(&value, state.get(), sizeof(value));
            return value;
        });
    } catch (...) {
        return 0;
    }
}

DWORD ChooseActiveSession(std::optional<DWORD> consoleSession, const std::function<DWORD()>& findExplorerSession)
{
    if (consoleSession && *consoleSession != 0 && *consoleSession != 0xFFFFFFFF)
        return *consoleSession;
    return findExplorerSession ? findExplorerSession() : 0;
}

DWORD GetActiveSessionId()
{
    std::optional<DWORD> console;
    if (const auto fn = ConsoleSessionFunction())
        console = fn();
    return ChooseActiveSession(console, FindActiveExplorerSession);
}

std::wstring LogonNameFromSessionUser(const std::wstring& sessionUser)
{
    return SameText(sessionUser, L"system") ? std::wstring() : sessionUser;
}

std::wstring GetLogonUserName()
{
    try {
        if (IsWindows2000())
            return GetProcessUserName(FindExplorerProcessId(L""));
        DWORD bytes = 0;
        const UniqueWtsMemory name = QuerySession(GetActiveSessionId(), WTSUserName, bytes);
        if (!name || bytes == 0)
            return {};
        const auto* text = static_cast<const wchar_t*>(name.get());
        return LogonNameFromSessionUser(std::wstring(text, wcsnlen(text, bytes / sizeof(wchar_t))));
    } catch (...) {
        return {};
    }
}
