#pragma once
// The report line list that sections append to, and how it becomes a file.
#include <string>
#include <vector>

// Ordered UTF-16 lines; an entry may itself hold CR LF.
using TReportLines = std::vector<std::wstring>;

// The row of 81 asterisks that separates the report's blocks.
inline constexpr wchar_t AsteriskRow[] =
    L"*********************************************************************************";

// The bytes of a report file: FF FE, then every entry followed by CR LF, UTF-16LE.
std::string ReportFileBytes(const TReportLines& lines);
// Writes the list to `path`, overwriting. Throws std::runtime_error on failure.
void WriteReportFile(const std::wstring& path, const TReportLines& lines);
