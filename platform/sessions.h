#pragma once
// The interactive session and the user logged on to it.
#include <windows.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

// User name of the interactive user, or empty.
std::wstring GetLogonUserName();
// The account name the terminal services report for the console session,
// as GetLogonUserName takes it: the "system" account counts as nobody.
std::wstring LogonNameFromSessionUser(const std::wstring& sessionUser);
// Session id of the interactive session, 0 when none is found.
DWORD GetActiveSessionId();
// The console session when one was reported (not 0 or 0xFFFFFFFF), else what
// `findExplorerSession` finds.
DWORD ChooseActiveSession(std::optional<DWORD> consoleSession, const std::function<DWORD()>& findExplorerSession);
// Session of the first "explorer.exe" whose session is active, or 0.
DWORD FindActiveExplorerSession();
// One process of a snapshot as FindActiveExplorerSession sees it.
struct TProcessSession {
    std::wstring ExeFile;
    std::optional<DWORD> Session;  // unset when the session is unknown
};
// The walk of FindActiveExplorerSession over snapshot rows; `connectState`
// asks the terminal services for a session's state (unset when that fails).
DWORD FirstActiveExplorerSession(const std::vector<TProcessSession>& processes,
                                 const std::function<std::optional<int>(DWORD)>& connectState);
