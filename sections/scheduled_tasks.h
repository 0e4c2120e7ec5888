#pragma once
// The scheduled tasks listing and the systeminfo capture.
#include <string>

// Writes the scheduled task details to `taskFile` (ANSI text).
void EnumTasks(const std::wstring& taskFile);
// Writes the systeminfo output to SystemInfo.txt in the gather folder; runs on a side thread.
void SaveSystemInfo(const std::wstring& gatherFolder);
