#pragma once
// The browser helper objects registered for the machine.
#include "sections/report_lines.h"

// Appends the asterisk row and the block of ListBrowserHelpers.
void GetBHOItemListEx(TReportLines& lines);
// An empty line, "===== BHOs =====", an empty line, then "name, library" per
// object of the 64-bit view (the native one on 64-bit Windows).
TReportLines ListBrowserHelpers();
