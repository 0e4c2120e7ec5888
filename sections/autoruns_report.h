#pragma once
// What Windows starts at log-on: the Startup folders and the registry launch
// points, for the user and the machine, in both registry branches.
#include <windows.h>

#include <string>
#include <vector>

#include "sections/report_lines.h"

// The "Autoruns" section as a list of its own; the caller appends it.
TReportLines GetAutorunList();

// The command line of a shortcut: "\"target\" arguments" (a shortcut that
// cannot be loaded gives "\"\" "). Raises EComError when no shell-link object
// can be made.
std::wstring ShortcutCommand(const std::wstring& shortcutPath);

// The items of a comma-separated text as a launch value holds it: blanks
// separate items as commas do, double quotes group (a doubled one inside
// stands for one), a comma at the very end adds an empty item.
std::vector<std::wstring> SplitDelimitedText(const std::wstring& text);
// The non-empty pieces of `text` between `separator` characters; returns their number.
size_t SplitAtChar(wchar_t separator, const std::wstring& text, std::vector<std::wstring>& parts);
// The lines one RunOnceEx command gives ("library|function|arguments" or a
// plain command), at most three.
std::vector<std::wstring> RunOnceExCommandLines(const std::wstring& command);
// True when the first item of a Shell or Userinit value is Windows' own
// program `program`, by name or in the system or Windows folder.
bool IsDefaultLaunchItem(const std::wstring& item, const std::wstring& program, const std::wstring& systemDir,
                         const std::wstring& windowsDir);
