#include "sections/system_overview.h"

void GetOSInfoEx(TReportLines& /*lines*/)
{
    // The overview lines are added here.
}
