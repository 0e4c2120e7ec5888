#pragma once
// What the Security Center knows about security products, and the firewall state.
#include "sections/report_lines.h"

void GetWSCInfo(TReportLines& lines);
