#include "sections/security_center.h"

void GetWSCInfo(TReportLines& /*lines*/)
{
    // The security products and firewall profiles are added here.
}
