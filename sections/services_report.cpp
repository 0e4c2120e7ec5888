#include "sections/services_report.h"

void EnumServices(TReportLines& /*lines*/)
{
    // The services and drivers are added here.
}
