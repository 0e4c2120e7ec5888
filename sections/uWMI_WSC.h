#pragma once
// What the Security Center knows about security products, and the firewall state.
#include "app/ReportLines.h"

void GetWSCInfo(TReportLines& lines);
