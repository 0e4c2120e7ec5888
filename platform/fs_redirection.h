#pragma once
// The switches of file-system redirection for 32-bit programs on 64-bit
// Windows: a thread that switches it off sees the real System32.
#include <windows.h>

// Looks up the WOW64 redirection functions of kernel32 (only on 64-bit Windows).
void LoadWOW64Funcs();
// The same with the answer of IsWow64 given: false (32-bit Windows) resolves nothing.
void LoadWOW64Funcs(bool onWow64);
// Switches redirection off for this thread; `oldValue` receives the setting to
// restore. False (slot untouched) before LoadWOW64Funcs or on 32-bit Windows.
bool DisableFsRedirection(void** oldValue);
// Restores the setting saved by DisableFsRedirection.
bool RevertFsRedirection(void* oldValue);

// Redirection off for this thread for the owner's lifetime, restored on every
// path out of the scope, exceptions included.
class TFsRedirectionOff {
public:
    TFsRedirectionOff() noexcept { DisableFsRedirection(&FOldValue); }
    ~TFsRedirectionOff() { RevertFsRedirection(FOldValue); }
    TFsRedirectionOff(const TFsRedirectionOff&) = delete;
    TFsRedirectionOff& operator=(const TFsRedirectionOff&) = delete;

private:
    void* FOldValue = nullptr;
};
