#include "products/log_collection.h"

void LoadLog(const std::wstring& /*gatherFolder*/)
{
    // The files beside the main product's data folder are copied here.
}

void LoadOtherInfo(const std::wstring& /*gatherFolder*/, int /*sizeLimitMiB*/)
{
    // The other-info copies are made here.
}

void LoadOnlyForVireRuriTool(const std::wstring& /*gatherFolder*/)
{
    // The updater logs are copied here.
}

void GenTBXLogFiles(const std::wstring& /*gatherFolder*/)
{
    // The main product's logs and settings are copied here.
}

void GenGDXLogFiles(const std::wstring& /*gatherFolder*/)
{
    // The anti-malware product's logs and settings are copied here.
}
