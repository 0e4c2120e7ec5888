#pragma once
// The running processes with their resource use.
#include <windows.h>

#include <string>
#include <vector>

#include "sections/report_lines.h"

// The section's text: the process table, an empty line and the three
// resource lines; lines end in CR LF. Takes about one second (the CPU sample).
std::wstring GetProcessList();
// Appends a row of asterisks and GetProcessList as one entry.
void GetProcessListEx(TReportLines& lines);

// How an image path of the system process information reads as a file path:
// "\SystemRoot\System32\" (any letter case) becomes the system directory,
// a leading "\??\" goes.
std::wstring NormalizeImagePath(const std::wstring& path, const std::wstring& systemDir);
// A drive and the device name Windows gives it ("C:", "\Device\HarddiskVolume2").
struct TDosDevice {
    std::wstring Drive;
    std::wstring Device;
};
// The drive path of a device path, through the first device that begins it
// (at a folder boundary); empty when none does.
std::wstring DevicePathToDrivePath(const std::wstring& devicePath, const std::vector<TDosDevice>& devices);
// The same over this machine's drives.
std::wstring DevicePathToDrivePath(const std::wstring& devicePath);
// The long form of a path, or the path unchanged.
std::wstring GetLongPath(const std::wstring& path);
