#include "sections/browser_helpers.h"

void GetBHOItemListEx(TReportLines& /*lines*/)
{
    // The browser helper objects are added here.
}

void GetAppFileInfo(TReportLines& /*lines*/)
{
    // The application files are added here.
}
