#pragma once
// Every file of the main product's program folder with its version, digest and time.
#include <string>

#include "sections/report_lines.h"

// Appends the asterisk row and one line per file below ProductAppPath; adds
// nothing when the folder does not exist or holds no file. Raises nothing: a
// failure ends the block at that file, the lines before it stay.
void GetAppFileInfo(TReportLines& lines);

// One line of the block: "sub\a.dll   Ver:1.2.3.4   MD5:<digest>   DT:<date-time>".
std::wstring AppFileLine(const std::wstring& relativePath, const std::wstring& version, const std::wstring& digest,
                         const std::wstring& dateTime);
