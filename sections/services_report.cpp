#include "sections/services_report.h"

#include <vector>

#include "platform/fs_redirection.h"
#include "platform/handles.h"
#include "platform/paths.h"
#include "platform/query_buffer.h"
#include "platform/service_config.h"
#include "platform/text.h"
#include "platform/version_resource.h"

namespace {

// Kernel and file-system drivers, adapters, recognizers, own- and
// share-process services and interactive ones.
constexpr DWORD AllServiceTypes = 0x13F;

std::wstring ExpandVariables(const std::wstring& path)
{
    const DWORD needed = ExpandEnvironmentStringsW(path.c_str(), nullptr, 0);
    if (needed == 0)
        return path;
    std::vector<wchar_t> buffer(needed, L'\0');
    const DWORD n = ExpandEnvironmentStringsW(path.c_str(), buffer.data(), needed);
    if (n == 0 || n > needed)
        return path;
    return std::wstring(buffer.data(), wcsnlen(buffer.data(), n));
}

}  // namespace

std::wstring FormatServiceLine(const TServiceLine& line)
{
    std::wstring name = line.DisplayName;
    if (name.size() < 30)
        name.append(30 - name.size(), L' ');
    wchar_t numbers[64];
    swprintf(numbers, 64, L" %X  %d  %d %d ", static_cast<unsigned>(line.ServiceType),
             static_cast<int>(line.CurrentState), static_cast<int>(line.Win32ExitCode), line.StartType);
    return name + numbers + line.ImagePath + L" " + line.VersionText;
}

TServiceSettings ReadServiceConfig(const std::wstring& serviceName)
{
    TServiceSettings settings;
    if (const auto config = ReadServiceConfiguration(serviceName)) {
        settings.StartType = static_cast<int>(config->StartType);
        settings.ImagePath = config->BinaryPath;
    }
    return settings;
}

std::wstring ServiceFileVersion(const std::wstring& imagePath)
{
    // System32 names the native files, as the service control manager means them.
    const TFsRedirectionOff redirectionOff;
    std::wstring path = imagePath;
    if (StartsWithText(path, L"\\??\\"))
        path.erase(0, 4);
    if (!FileExists(path)) {
        if (StartsWithText(path, L"\\SystemRoot\\"))
            path = ReplaceText(path, L"\\SystemRoot\\", L"%SystemRoot%\\");
        else if (StartsWithText(path, L"SysWOW64\\") || StartsWithText(path, L"System32\\"))
            path = L"%SystemRoot%\\" + path;
        path = ExpandVariables(path);
    }
    if (!FileExists(path))
        return {};
    return L"Ver:" + FixedFileVersion(path);
}

void EnumServices(TReportLines& lines)
{
    try {
        const UniqueService manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
        if (!manager)
            return;
        DWORD needed = 0, count = 0, resume = 0;
        EnumServicesStatusW(manager.get(), AllServiceTypes, SERVICE_STATE_ALL, nullptr, 0, &needed, &count, &resume);
        // Room for whole entries and one more.
        const size_t entry = sizeof(ENUM_SERVICE_STATUSW);
        std::vector<ENUM_SERVICE_STATUSW> buffer((needed + entry - 1) / entry + 1);
        count = 0;
        resume = 0;
        if (!EnumServicesStatusW(manager.get(), AllServiceTypes, SERVICE_STATE_ALL, buffer.data(), needed, &needed,
                                 &count, &resume))
            return;
        lines.push_back(AsteriskRow);
        for (DWORD i = 0; i < count && i < buffer.size(); ++i) {
            const ENUM_SERVICE_STATUSW& service = buffer[i];
            TServiceLine line;
            line.DisplayName = service.lpDisplayName ? service.lpDisplayName : L"";
            line.ServiceType = service.ServiceStatus.dwServiceType;
            line.CurrentState = service.ServiceStatus.dwCurrentState;
            line.Win32ExitCode = service.ServiceStatus.dwWin32ExitCode;
            const TServiceSettings settings = ReadServiceConfig(service.lpServiceName ? service.lpServiceName : L"");
            line.StartType = settings.StartType;
            line.ImagePath = settings.ImagePath;
            line.VersionText = ServiceFileVersion(settings.ImagePath);
            lines.push_back(FormatServiceLine(line));
        }
    } catch (...) {
        // Lines already added stay; the section ends here.
    }
}
