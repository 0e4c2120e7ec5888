#pragma once
// The running processes with their resource use.
#include "app/ReportLines.h"

void GetProcessListEx(TReportLines& lines);
