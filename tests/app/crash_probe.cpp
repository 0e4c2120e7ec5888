// Test helper: a program that crashes outside any guarded step, after it has
// installed the crash report as the real programs do and registered one
// section of its own.  crash_probe fault|throw
#include <windows.h>

#include <stdexcept>
#include <string>

#include "app/crash_report.h"
#include "app/diagnostic_log.h"
#include "platform/crash_sections.h"
#include "platform/modules.h"
#include "platform/paths.h"

namespace {
int* volatile Nowhere = nullptr;
}

int wmain(int argc, wchar_t** argv)
{
    const std::wstring folder = ParentFolder(GetModuleName());
    SetLogFileName(folder + L"crash_probe.log");
    InstallCrashReport(folder + L"crash_probe.crash.txt", false);
    RegisterCrashSection(L"probe", L"what the probe knows", [] { return std::wstring(L"probe section text"); });
    WriteLog(L"probe started");
    const std::wstring how = argc > 1 ? argv[1] : L"fault";
    if (how == L"throw")
        throw std::runtime_error("nobody catches this");
    return *Nowhere;
}
