#pragma once
// The output of Windows' systeminfo (SystemInfo.txt), captured on a side
// thread while the rest of the report is gathered.
#include <windows.h>

#include <string>
#include <string_view>

#include "sections/report_lines.h"

// How long systeminfo may run: a slow machine takes tens of seconds, never
// minutes. At the bound it is ended with everything it started.
inline constexpr DWORD SystemInfoTimeoutMs = 5 * 60 * 1000;
// How long the driver waits for the side thread: a little beyond the
// capture's own bound.
inline constexpr DWORD SystemInfoJoinTimeoutMs = SystemInfoTimeoutMs + 30 * 1000;

// Writes the lines of CaptureSystemInfo to SystemInfo.txt in the gather
// folder (UTF-16LE with byte order mark). The side thread's body.
void SaveSystemInfo(const std::wstring& gatherFolder, DWORD timeoutMs = SystemInfoTimeoutMs);
// Runs systeminfo through cmd.exe into an intermediate file in the temporary
// folder, waits until the file is written (at most `timeoutMs`), and returns
// the capture time, an empty line, "===== System =====" and the output. When
// systeminfo does not finish, or writes nothing, one line says so in place
// of the output.
TReportLines CaptureSystemInfo(DWORD timeoutMs = SystemInfoTimeoutMs);
// True when the file cannot be opened for reading and writing with no
// sharing: someone still holds it, or it does not exist.
bool IsFileInUse(const std::wstring& path);

// The lines of a text file's bytes: a byte order mark selects UTF-8 or
// UTF-16 (either order), without one the bytes are in the ANSI code page.
// Lines end at CR LF, CR or LF; text after the last line end is a line too.
TReportLines TextFileLines(std::string_view bytes);
// "SystemInfo_" + the time as yyyymmddhhmmsszzz + ".txt".
std::wstring IntermediateFileName(const SYSTEMTIME& time);
// The line in place of the output when systeminfo did not finish in time.
std::wstring NotFinishedLine(DWORD timeoutMs);
// The line in place of the output when systeminfo left no output to read.
inline constexpr wchar_t NoOutputLine[] = L"systeminfo did not run: it left no output";
