#pragma once
// What the service control manager stores for one service.
#include <windows.h>

#include <optional>
#include <string>

struct TServiceConfig {
    DWORD StartType = 0;
    std::wstring BinaryPath;  // as stored: quotes and arguments included
};

// The configuration of a service, read through a connection of its own to the
// local service control manager (all access, as an elevated process has it);
// nothing when the manager, the service or the query fails.
std::optional<TServiceConfig> ReadServiceConfiguration(const std::wstring& serviceName);
