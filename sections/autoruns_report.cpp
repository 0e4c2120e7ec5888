#include "sections/autoruns_report.h"

TReportLines GetAutorunListx()
{
    // The launch points are listed here.
    return {};
}
