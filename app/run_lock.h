#pragma once
// One gathering at a time per user session: two runs would share the gather
// folder and the archive's name and spoil each other.
#include <windows.h>

#include "platform/handles.h"

class TRunLock {
public:
    // Tries to take the session's gathering lock without waiting.
    TRunLock();
    // False when another window, console run or library call of this session
    // holds it: a report is already being made.
    bool Acquired() const noexcept { return FAcquired; }
    // Held until the owner goes (or the process ends, which releases it too).
    ~TRunLock();
    TRunLock(const TRunLock&) = delete;
    TRunLock& operator=(const TRunLock&) = delete;

private:
    UniqueHandle FMutex;
    bool FAcquired = false;
};

// The name of the session's lock (a mutex in the session's namespace).
inline constexpr wchar_t RunLockName[] = L"Local\\Vexlo_Helper_V9_Gathering";
