#include "sections/scheduled_tasks.h"

void EnumTasks(const std::wstring& /*taskFile*/)
{
    // The task listing is written here.
}

void SaveSystemInfo(const std::wstring& /*gatherFolder*/)
{
    // The systeminfo output is captured here.
}
