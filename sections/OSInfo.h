#pragma once
// The system overview: Windows, memory, system drive, users and display.
#include "app/ReportLines.h"

void GetOSInfoEx(TReportLines& lines);
