#pragma once
// The services and drivers with their image paths and versions.
#include "sections/report_lines.h"

void EnumServices(TReportLines& lines);
