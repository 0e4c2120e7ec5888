#pragma once
// The process table's text: number formats, the rest text of a row, the
// column widths, the header and the rows, built from plain records.
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

// The decimal digits ("-" first for a negative value), then PadText.
std::wstring FormatDecimal(int64_t value, int width, wchar_t fill);
// Fill added up to |width|: on the left when width > 0, on the right when
// width < 0. A digit fill goes between a leading "-" and the digits. A text
// at least |width| long is returned whole.
std::wstring PadText(const std::wstring& text, int width, wchar_t fill);
// "$" and the value in lower-case hexadecimal, zero-padded to `digits`.
std::wstring FormatHex(uint64_t value, int digits);
// A run time: "999 ms", "1.50 s", "2:05 min", "1:02 h" (hours unbounded).
std::wstring FormatDuration(uint64_t ms, wchar_t decimalChar);
std::wstring FormatDuration(uint64_t ms);
// A byte count: "512 Bytes", "1.50 KB", "465.76 GB" (two decimals, truncated).
std::wstring FormatByteSize(uint64_t bytes, wchar_t decimalChar);
std::wstring FormatByteSize(uint64_t bytes);
// The priority class's name; empty for 0 and -1, FormatHex for an unknown one.
std::wstring PriorityClassName(int32_t priorityClass);

// The load over one sample in percent: CPU milliseconds used per elapsed
// tick, times 100, rounded to nearest with ties to even; 0 without ticks.
int32_t CpuLoadPercent(uint64_t cpuBeforeMs, uint64_t cpuNowMs, uint32_t elapsedTicks);
// "," + load + "%", or empty for a load of 0.
std::wstring CpuLoadText(int32_t load);

// What one row of the table shows.
struct TProcessRow {
    std::wstring Name;    // image file name
    std::wstring Folder;  // its folder without the trailing backslash
    DWORD Pid = 0;
    DWORD SessionId = 0;
    int32_t PriorityClass = -1;  // -1 when not read
    int32_t GdiObjects = 0;
    int32_t UserObjects = 0;
    DWORD Handles = 0;
    DWORD Threads = 0;
    DWORD WorkingSetMB = 0;
    DWORD PagefileMB = 0;
    uint64_t RunTimeMs = 0;  // 64-bit: a process may run longer than 49.7 days
    std::wstring CpuText;    // CpuLoadText of the sample
};

// Handles, threads, memory, priority, run time and CPU text of a row.
std::wstring ProcessRestText(const TProcessRow& row, wchar_t decimalChar);
// The header and one line per row, in the rows' order.
std::vector<std::wstring> ProcessTableLines(const std::vector<TProcessRow>& rows, wchar_t decimalChar);
// Splits an image path at its last backslash into folder and name.
void SplitImagePath(const std::wstring& path, std::wstring& folder, std::wstring& name);
