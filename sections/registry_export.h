#pragma once
// Registry exports in .reg text layout.
#include "sections/report_lines.h"

// The uninstall keys.
void DoClllectEx(TReportLines& lines);
// The TCP/IP interface keys.
void DoClllectDNS(TReportLines& lines);
