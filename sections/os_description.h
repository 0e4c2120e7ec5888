#pragma once
// The Windows description of the overview's "OS Name" line: a base name from
// the version record and the suffixes of edition, architecture and service pack.
#include <windows.h>

#include <string>

// What the description is made of.
struct TOSDescriptionFacts {
    DWORD PlatformId = 0;   // VER_PLATFORM_WIN32_NT, VER_PLATFORM_WIN32_WINDOWS (9x), ...
    DWORD Major = 0;
    DWORD Minor = 0;
    DWORD Build = 0;        // on 9x only the low 16 bits count
    BYTE ProductType = 0;   // VER_NT_WORKSTATION (1), ...
    std::wstring ServicePack;
    bool ServerR2 = false;     // GetSystemMetrics(SM_SERVERR2)
    bool TabletPc = false;     // GetSystemMetrics(SM_TABLETPC)
    bool Starter = false;      // GetSystemMetrics(SM_STARTER)
    bool MediaCenter = false;  // GetSystemMetrics(SM_MEDIACENTER)
    WORD Architecture = PROCESSOR_ARCHITECTURE_INTEL;  // of Windows itself
};

// The index of the base name (0 "None" ... 16 "Windows NT New").
int OSBaseIndex(const TOSDescriptionFacts& facts);
// The base name of an index; "None" outside 0..16.
std::wstring OSBaseName(int index);
// The whole description, e.g. "Windows 7 x64 Service Pack 1".
std::wstring OSDescriptionFor(const TOSDescriptionFacts& facts);
// The description of this Windows, computed on the first call and kept.
std::wstring GetOSDescription();
