#include "sections/registry_export.h"

void DoClllectEx(TReportLines& /*lines*/)
{
    // The uninstall keys are exported here.
}

void DoClllectDNS(TReportLines& /*lines*/)
{
    // The TCP/IP interface keys are exported here.
}
