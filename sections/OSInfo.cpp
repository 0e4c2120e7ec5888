#include "sections/OSInfo.h"

void GetOSInfoEx(TReportLines& /*lines*/)
{
    // The overview lines are added here.
}
