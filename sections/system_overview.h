#pragma once
// The system overview: Windows, memory, system drive, users and display.
#include "sections/report_lines.h"

void GetOSInfoEx(TReportLines& lines);
