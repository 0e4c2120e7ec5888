#include "sections/Services.h"

void EnumServices(TReportLines& /*lines*/)
{
    // The services and drivers are added here.
}
