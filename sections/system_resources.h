#pragma once
// The three lines under the process table about resources of the whole
// system: virtual memory and page file with the Windows drive, the global
// atom table, and the desktop heap setting.
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

// The figures of the virtual-memory line.
struct TVirtualMemoryFacts {
    uint64_t AvailVirtual = 0, TotalVirtual = 0;    // bytes
    uint64_t AvailPageFile = 0, TotalPageFile = 0;  // bytes
    uint64_t DriveFree = 0, DriveTotal = 0;         // bytes of the Windows drive
};
// "1841/2047 MB(free/total), PageSize:5120/8192 MB(free/total), SysDrv:120.45 GB/465.76 GB".
std::wstring VirtualMemoryText(const TVirtualMemoryFacts& facts, wchar_t decimalChar);
// Bytes as MiB rounded to nearest.
uint64_t RoundedMiB(uint64_t bytes);

// Atom names grouped by their first six characters (letter case counts).
struct TAtomGroup {
    std::wstring Name;    // the first name of the group
    std::wstring Prefix;  // its first six characters
    int32_t Count = 0;
};
// Counts `name` in the group of its prefix, or opens a new group.
void AddAtomName(std::vector<TAtomGroup>& groups, const std::wstring& name);
// "Atom:412, RWM:655, Max(96):..., Max(41):...": the two largest groups, the
// earlier one on a tie.
std::wstring AtomInfoText(int32_t atoms, int32_t registeredNames, const std::vector<TAtomGroup>& groups);

// A registry value as text: a text value up to its first NUL, unexpanded;
// any other value as many UTF-16 units as it has bytes. Empty when the key
// or value cannot be read or the value is empty.
std::wstring ReadRegText(HKEY root, const std::wstring& key, const std::wstring& value);

// The three lines' texts; "error" when one cannot be made.
std::wstring GetVirtualMemoryInfo();
std::wstring GetGlobalAtomInfo();
std::wstring GetDesktopHeap();
