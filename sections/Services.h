#pragma once
// The services and drivers with their image paths and versions.
#include "app/ReportLines.h"

void EnumServices(TReportLines& lines);
