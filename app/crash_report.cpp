#include "app/crash_report.h"

#include <cwchar>
#include <exception>

#include "app/diagnostic_log.h"
#include "app/log_words.h"
#include "platform/hardware_fault.h"
#include "platform/locale_text.h"
#include "platform/paths.h"
#include "platform/process_lifetime.h"
#include "sections/report_lines.h"

namespace {

struct TCrashSettings {
    std::wstring ReportPath;
    bool ShowBox = false;
    LONG Reported = 0;  // the first crash is reported, any later one only ends the process
};

TCrashSettings& Settings()
{
    static ProcessLifetime<TCrashSettings> settings;
    return settings.get();
}

// The module and offset of a code address: "VexloHelper.exe+0x1a2b".
std::wstring WhereIs(const void* address)
{
    HMODULE module = nullptr;
    wchar_t text[MAX_PATH + 64];
    if (GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                           static_cast<LPCWSTR>(address), &module) &&
        module) {
        wchar_t name[MAX_PATH] = {};
        GetModuleFileNameW(module, name, MAX_PATH);
        swprintf(text, MAX_PATH + 64, L"%ls+0x%llx", FileNamePart(name).c_str(),
                 static_cast<unsigned long long>(reinterpret_cast<const char*>(address) -
                                                 reinterpret_cast<const char*>(module)));
        return text;
    }
    swprintf(text, MAX_PATH + 64, L"0x%p", address);
    return text;
}

[[noreturn]] void Report(const std::wstring& what)
{
    TCrashSettings& settings = Settings();
    if (InterlockedExchange(&settings.Reported, 1) == 0) {
        WriteCrashReport(settings.ReportPath, what);
        if (settings.ShowBox)
            MessageBoxW(nullptr,
                        (L"Vexlo Helper has stopped because of an internal error.\r\nA crash report was saved to:\r\n" +
                         settings.ReportPath)
                            .c_str(),
                        L"Error", MB_OK | MB_ICONERROR | MB_TASKMODAL);
    }
    TerminateProcess(GetCurrentProcess(), 3);
    for (;;)
        Sleep(INFINITE);
}

LONG WINAPI OnUnhandledException(EXCEPTION_POINTERS* info) noexcept
{
    std::wstring what = L"unhandled exception";
    if (info && info->ExceptionRecord) {
        const EXCEPTION_RECORD& record = *info->ExceptionRecord;
        wchar_t code[32];
        swprintf(code, 32, L"0x%08lX", static_cast<unsigned long>(record.ExceptionCode));
        what = DescribeFault(record.ExceptionCode, record.NumberParameters >= 1 ? record.ExceptionInformation[0] : 0,
                             record.NumberParameters >= 2 ? record.ExceptionInformation[1] : 0) +
               L" (" + code + L") at " + WhereIs(record.ExceptionAddress) + L", thread " +
               std::to_wstring(GetCurrentThreadId());
    }
    Report(what);
}

[[noreturn]] void OnTerminate() noexcept
{
    std::wstring what = L"std::terminate";
    if (const std::exception_ptr current = std::current_exception()) {
        try {
            std::rethrow_exception(current);
        } catch (const std::exception& error) {
            what += L" with an exception: ";
            const char* text = error.what();
            for (const char* p = text; p && *p; ++p)
                what += static_cast<wchar_t>(static_cast<unsigned char>(*p));
        } catch (...) {
            what += L" with an unknown exception";
        }
    }
    what += L", thread " + std::to_wstring(GetCurrentThreadId());
    Report(what);
}

}  // namespace

std::vector<std::wstring> CrashReportLines(const std::wstring& what, const std::vector<TCrashSection>& sections)
{
    SYSTEMTIME now{};
    GetLocalTime(&now);
    std::vector<std::wstring> lines{L"Vexlo Helper V9 crash report", L"Time: " + DateTimeToStr(now),
                                    L"Exception: " + what, L""};
    for (const TCrashSection& section : sections) {
        lines.push_back(L"===== " + section.Name + L": " + section.Description + L" =====");
        std::wstring text;
        try {
            text = section.Producer ? section.Producer() : std::wstring();
        } catch (...) {
            text = L"(this section could not be produced)";
        }
        lines.push_back(text);
        lines.push_back(L"");
    }
    return lines;
}

void WriteCrashReport(const std::wstring& reportPath, const std::wstring& what)
{
    // The log first: it is written line by line and survives whatever comes next.
    WriteLog(log_words::CrashReported + what + L"\r\n" + log_words::ReasonIndent + reportPath);
    try {
        THardwareFaultGuard guard;
        WriteReportFile(reportPath, CrashReportLines(what, CrashSections()));
    } catch (...) {
        WriteLog(log_words::CrashReportFailed + reportPath);
    }
}

void InstallCrashReport(const std::wstring& reportPath, bool showBox)
{
    TCrashSettings& settings = Settings();
    settings.ReportPath = reportPath;
    settings.ShowBox = showBox;
    SetUnhandledExceptionFilter(OnUnhandledException);
    std::set_terminate(OnTerminate);
}
