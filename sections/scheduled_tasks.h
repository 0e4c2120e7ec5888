#pragma once
// The scheduled tasks listing (task.txt): the details of every task in the
// root folder of the task scheduler, as schtasks prints them.
#include <windows.h>

#include <string>
#include <vector>

#include "sections/report_lines.h"

// How long one schtasks query may run before it is ended with everything it started.
inline constexpr DWORD TaskQueryTimeoutMs = 2 * 60 * 1000;

// The per-user console setting of cmd.exe windows that the listing switches
// to code page 437 when the first query yields no task names.
inline constexpr wchar_t ConsoleParentKey[] = L"Console";
inline constexpr wchar_t ConsoleKey[] = L"Console\\%SystemRoot%_system32_cmd.exe";
inline constexpr wchar_t CodePageValue[] = L"CodePage";

// Writes the task details to `taskFile` in the ANSI code page, no byte order
// mark, every line followed by CR LF. When a query did not finish in time,
// raises afterwards, naming the queries that were ended, so that an empty or
// short file is not taken for a machine without tasks.
void EnumTasks(const std::wstring& taskFile);
// Appends the task details. On Windows Vista and later the root folder's task
// names are listed first (CSV), with code page 437 in force for cmd.exe
// windows when that first listing yields none; the console setting is put
// back on every path out. Returns the arguments of each query that did not
// finish within its time and was ended (empty when all finished).
std::vector<std::wstring> CollectTaskLines(TReportLines& lines, DWORD queryTimeoutMs = TaskQueryTimeoutMs);
// Runs the CSV query into `scratch` (cleared first) and adds the root-folder
// task names it finds to `names`. False when the query did not finish in time.
bool ListTaskNames(TReportLines& scratch, std::vector<std::wstring>& names, DWORD queryTimeoutMs = TaskQueryTimeoutMs);
// The reason EnumTasks raises with for queries that were ended.
std::wstring UnfinishedQueriesText(const std::vector<std::wstring>& queries, DWORD queryTimeoutMs);

// The root-folder task names of CSV query output: the first line (the
// header) is skipped; the list ends at the first line that is not a root
// task ("\name" in quotes): a repeated header, a message, or a task in a
// sub-folder. Names already in `names` (letter case ignored) are not added again.
void AddRootTaskNames(const TReportLines& csvLines, std::vector<std::wstring>& names);
// The bytes of task.txt: each line in the ANSI code page followed by CR LF.
std::string AnsiFileBytes(const TReportLines& lines);
