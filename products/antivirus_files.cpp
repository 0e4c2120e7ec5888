#include "products/antivirus_files.h"

void CopyVersionFiles(const std::wstring& /*source*/, const std::wstring& /*destination*/)
{
    // The version files are copied here.
}

void CopyDump(const std::wstring& /*dumpFile*/, const std::wstring& /*destination*/)
{
    // The dump is copied here.
}
