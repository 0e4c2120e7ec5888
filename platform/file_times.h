#pragma once
// File time stamps as day counts since 30 December 1899, the time of day as
// the fraction.
#include <windows.h>

#include <string>

// Creation (0), last write (1) or last access (other) time of the first file
// the path (wildcards allowed) finds, in local time at the two-second
// resolution of DOS time stamps; 0 when nothing is found.
double GetFileDateTime(const std::wstring& path, int kind);
// A DOS date and time as a day count; 0 for a date or time that cannot be.
double DosDateTimeToDays(WORD dosDate, WORD dosTime);
