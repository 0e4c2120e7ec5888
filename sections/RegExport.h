#pragma once
// Registry exports in .reg text layout.
#include "app/ReportLines.h"

// The uninstall keys.
void DoClllectEx(TReportLines& lines);
// The TCP/IP interface keys.
void DoClllectDNS(TReportLines& lines);
