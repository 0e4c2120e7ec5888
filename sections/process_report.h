#pragma once
// The running processes with their resource use.
#include "sections/report_lines.h"

void GetProcessListEx(TReportLines& lines);
