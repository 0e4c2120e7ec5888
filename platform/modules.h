#pragma once
// Module paths, the system folders, and libraries loaded from the system
// directory by full path (never through the search path).
#include <windows.h>

#include <string>

#include "platform/handles.h"

// An exported function of a loaded module, or null.
template <typename Fn>
Fn ProcAddress(HMODULE module, const char* name)
{
    return module ? reinterpret_cast<Fn>(reinterpret_cast<void*>(::GetProcAddress(module, name))) : nullptr;
}
// kernel32.dll, always loaded.
HMODULE Kernel32();

// Full path of a loaded module (null: the executable).
std::wstring ModuleFileName(HMODULE module);
// Full path of the module that holds this code (the executable, or a library build's DLL).
std::wstring GetModuleName();
// The system directory, e.g. C:\Windows\system32 (no trailing backslash).
std::wstring GetSystemDir();
// The Windows directory, e.g. C:\Windows (no trailing backslash).
std::wstring GetWindowsDir();
// A program of the system directory by full path (cmd.exe, sc.exe, ...). A
// 32-bit process on 64-bit Windows gets the 32-bit one (SysWOW64), which is
// where it would land through redirection anyway, but by its real name.
std::wstring SystemProgramPath(const wchar_t* fileName);
// Loads a library from the system directory by full path. A 32-bit process on
// 64-bit Windows takes it from the 32-bit system directory by its real name,
// so a thread that switched file-system redirection off still gets its own
// kind of library.
UniqueModule LoadSystemLibrary(const wchar_t* name);
