#pragma once
// The crash report: what an exception that nothing else handled leaves
// behind, instead of a program that vanishes without a word.
#include <windows.h>

#include <string>
#include <vector>

#include "platform/crash_sections.h"

// Turns an unhandled exception, and a C++ exception that reaches
// std::terminate, into a crash report at `reportPath` (beside the diagnostic
// log) and one log line; then the process ends with exit code 3. With
// `showBox` the user is also told, in a box, where the report is.
void InstallCrashReport(const std::wstring& reportPath, bool showBox);

// The report's lines: what happened, where, then every registered section
// ("===== name: description =====" and its text).
std::vector<std::wstring> CrashReportLines(const std::wstring& what, const std::vector<TCrashSection>& sections);

// Writes the report for `what` (the exception's description) and logs it.
void WriteCrashReport(const std::wstring& reportPath, const std::wstring& what);
