// Test tool: prints every service and driver of the prefix's service control
// manager as "name|state|start type" (decimal), one a line, UTF-8, in the
// order the manager lists them. Exits 0, or 1 when the manager cannot be read.
#include <windows.h>

#include <cstdio>
#include <vector>

#include "platform/handles.h"
#include "platform/service_config.h"
#include "platform/text.h"

int wmain()
{
    const UniqueService manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ENUMERATE_SERVICE));
    if (!manager)
        return 1;
    std::vector<BYTE> buffer(256 * 1024);
    DWORD needed = 0, count = 0, resume = 0;
    for (;;) {
        const BOOL done = EnumServicesStatusExW(manager.get(), SC_ENUM_PROCESS_INFO, SERVICE_WIN32 | SERVICE_DRIVER,
                                                SERVICE_STATE_ALL, buffer.data(), static_cast<DWORD>(buffer.size()),
                                                &needed, &count, &resume, nullptr);
        if (!done && GetLastError() != ERROR_MORE_DATA)
            return 1;
        const auto* services = reinterpret_cast<const ENUM_SERVICE_STATUS_PROCESSW*>(buffer.data());
        for (DWORD i = 0; i < count; ++i) {
            const auto config = ReadServiceConfiguration(services[i].lpServiceName);
            std::printf("%s|%lu|%ld\n", ToUtf8(services[i].lpServiceName).c_str(),
                        static_cast<unsigned long>(services[i].ServiceStatusProcess.dwCurrentState),
                        config ? static_cast<long>(config->StartType) : -1L);
        }
        if (done)
            return 0;
        if (needed > buffer.size())
            buffer.resize(needed);
    }
}
