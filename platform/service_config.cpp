#include "platform/service_config.h"

#include <vector>

#include "platform/handles.h"

std::optional<TServiceConfig> ReadServiceConfiguration(const std::wstring& serviceName)
{
    const UniqueService manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
    if (!manager)
        return std::nullopt;
    const UniqueService service(OpenServiceW(manager.get(), serviceName.c_str(), SERVICE_QUERY_CONFIG));
    if (!service)
        return std::nullopt;
    // Ask for the size, then read; the configuration may grow in between, so
    // a few rounds at most.
    DWORD needed = 0;
    std::vector<BYTE> buffer;
    for (int attempt = 0; attempt < 4; ++attempt) {
        auto* config = buffer.empty() ? nullptr : reinterpret_cast<QUERY_SERVICE_CONFIGW*>(buffer.data());
        if (QueryServiceConfigW(service.get(), config, static_cast<DWORD>(buffer.size()), &needed)) {
            if (!config)
                return std::nullopt;
            TServiceConfig result;
            result.StartType = config->dwStartType;
            if (config->lpBinaryPathName)
                result.BinaryPath = config->lpBinaryPathName;
            return result;
        }
        if (GetLastError() != ERROR_INSUFFICIENT_BUFFER || needed <= buffer.size())
            return std::nullopt;
        buffer.assign(needed, 0);
    }
    return std::nullopt;
}
