#pragma once
// The system overview: Windows, memory, system drive, users and display.
#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>

#include "sections/report_lines.h"

// Everything the overview shows, read from Windows by GetOSInfo.
struct TOverviewFacts {
    std::wstring Description;  // GetOSDescription
    DWORD Major = 0, Minor = 0, Build = 0;
    std::wstring ServicePack;
    std::wstring Language;                    // English name of the system language
    std::optional<std::wstring> ComputerName;  // unset when it cannot be read
    bool Wow64 = false;                        // on 64-bit Windows
    // The memory status, 0 when it cannot be read.
    uint64_t TotalPhys = 0, AvailPhys = 0, TotalPageFile = 0, AvailPageFile = 0;
    uint64_t TotalVirtual = 0, AvailVirtual = 0, AvailExtendedVirtual = 0;
    std::wstring SystemDrive;  // "C:"; empty when the system directory is unknown
    std::optional<uint64_t> DriveTotalBytes, DriveFreeBytes;  // unset when the drive query fails
    std::wstring LogonUser, ProcessUser;
    DWORD IntegrityLevel = 0;
    bool DpiAware = false;
    int ScreenWidth = 0, ScreenHeight = 0;
    DWORD AppliedDpi = 96;
    int LogPixelsY = 0;
};

// The overview's lines for these facts, in order; `decimalChar` separates the
// GB figures' fraction.
TReportLines OverviewLines(const TOverviewFacts& facts, wchar_t decimalChar);
// Bytes as whole MB (divided by 1024 twice, each time truncating).
uint64_t BytesToMB(uint64_t bytes);
// Bytes as GB with two decimals: whole MB, then / 1024 rounded half away from
// zero on the second decimal (500107862016 -> "465.76").
std::wstring FormatGigabytes(uint64_t bytes, wchar_t decimalChar);

// The "AppliedDPI" setting of the current user, 96 when it cannot be read.
DWORD GetAppliedDPI();
// The vertical logical pixels per inch of a screen-compatible memory context.
int GetLogPixelsY();

// The overview as a fresh list.
TReportLines GetOSInfo();
// Appends the overview to the report lines.
void GetOSInfoEx(TReportLines& lines);
