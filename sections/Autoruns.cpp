#include "sections/Autoruns.h"

TReportLines GetAutorunListx()
{
    // The launch points are listed here.
    return {};
}
