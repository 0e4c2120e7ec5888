#include "sections/uWMI_WSC.h"

void GetWSCInfo(TReportLines& /*lines*/)
{
    // The security products and firewall profiles are added here.
}
