#include "sections/process_report.h"

void GetProcessListEx(TReportLines& /*lines*/)
{
    // The process table is added here.
}
