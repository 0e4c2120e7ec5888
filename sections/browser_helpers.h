#pragma once
// Browser helper objects, and the files of the main product's folder.
#include "sections/report_lines.h"

void GetBHOItemListEx(TReportLines& lines);
void GetAppFileInfo(TReportLines& lines);
