#include "sections/ProcessList.h"

void GetProcessListEx(TReportLines& /*lines*/)
{
    // The process table is added here.
}
