#pragma once
// A child process for tests: a program copied under a name of the test's
// choosing, started suspended, and ended with its owner.
#include <windows.h>

#include <string>

class TSuspendedChild {
public:
    // Copies `program` to `copy` and starts the copy suspended.
    TSuspendedChild(const std::wstring& program, const std::wstring& copy);
    ~TSuspendedChild();
    TSuspendedChild(const TSuspendedChild&) = delete;
    TSuspendedChild& operator=(const TSuspendedChild&) = delete;
    bool Started() const { return FStarted; }
    DWORD Pid() const { return FInfo.dwProcessId; }

private:
    PROCESS_INFORMATION FInfo{};
    bool FStarted = false;
};
