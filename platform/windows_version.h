#pragma once
// Which Windows this is: the version record, 32- or 64-bit, and its short name.
#include <windows.h>

#include <string>

// The extended version record the process saw at launch (zeros when it could
// not be read). Read once; every part of the program uses this one.
const OSVERSIONINFOEXW& WindowsVersion();
// Decided once at start-up from that record.
bool IsWindows2000();
// The processor architecture of Windows itself (GetNativeSystemInfo where
// kernel32 has it): PROCESSOR_ARCHITECTURE_AMD64 for a 32-bit program on x64.
WORD NativeProcessorArchitecture();

// True when this program runs on 64-bit Windows: a 32-bit build asks
// IsWow64Process (cached once answered); a 64-bit build always runs there.
bool IsWow64();
// Short Windows name ("Windows 7", "Windows 10", ...), or empty.
std::wstring GetOSName();
// The name for a version record: major.minor, platform id, product type and
// processor architecture.
std::wstring OSNameFor(DWORD major, DWORD minor, DWORD platformId, BYTE productType, WORD architecture);
