#pragma once
// Registry access across both views of 64-bit Windows, and the switches of
// file-system redirection.
#include <windows.h>

// Looks up the WOW64 redirection functions of kernel32 (only on 64-bit Windows).
void LoadWOW64Funcs();
// Switches redirection off for this thread; `oldValue` receives the setting to
// restore. False (slot untouched) before LoadWOW64Funcs or on 32-bit Windows.
bool DisableFsRedirection(void** oldValue);
// Restores the setting saved by DisableFsRedirection.
bool RevertFsRedirection(void* oldValue);
