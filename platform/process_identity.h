#pragma once
// Who runs a process: account names, finding a process by name and user,
// and the tokens and integrity levels of processes.
#include <windows.h>

#include <functional>
#include <string>

#include "platform/handles.h"

// User name of the calling thread, or empty.
std::wstring GetCurrentUserName();
// Account name (without domain) of the user that runs the process, or empty.
std::wstring GetProcessUserName(DWORD processId);
// Calls `visit(exeFileName, processId)` for each process of a fresh snapshot,
// in snapshot order, until it returns true.
void WalkProcesses(const std::function<bool(const std::wstring&, DWORD)>& visit);
// Id of the first process whose executable file name is `exeName` (letter
// case ignored) and, when `user` is not empty, whose user is `user`; 0 if none.
DWORD FindProcessId(const std::wstring& exeName, const std::wstring& user);
// FindProcessId of "explorer.exe".
DWORD FindExplorerProcessId(const std::wstring& user);
// A primary token (identification level, maximum allowed access) of the
// process FindProcessId finds; empty when there is none or it cannot be had.
UniqueHandle GetTokenByName(const std::wstring& exeName, const std::wstring& user);
// The last relative identifier of the token's integrity SID (0x1000 low,
// 0x2000 medium, 0x3000 high, 0x4000 system), or 0.
DWORD GetTokenIntegrityLevel(HANDLE token);
