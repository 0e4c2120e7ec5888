// Test tool: creates a service in the prefix's service control manager and
// reads its configuration back.
//   service_planter.exe NAME DISPLAY TYPE START IMAGEPATH
// TYPE is hexadecimal, START decimal. Exits 0 when the service exists
// afterwards with the image path as given, 1 otherwise.
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>

#include "platform/handles.h"
#include "platform/service_config.h"

int wmain(int argc, wchar_t** argv)
{
    if (argc != 6) {
        fwprintf(stderr, L"usage: service_planter NAME DISPLAY TYPE START IMAGEPATH\n");
        return 1;
    }
    const std::wstring name = argv[1], display = argv[2], image = argv[5];
    const auto type = static_cast<DWORD>(wcstoul(argv[3], nullptr, 16));
    const auto start = static_cast<DWORD>(wcstoul(argv[4], nullptr, 10));
    {
        const UniqueService manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
        if (!manager) {
            fwprintf(stderr, L"no service manager: %lu\n", GetLastError());
            return 1;
        }
        const UniqueService service(CreateServiceW(manager.get(), name.c_str(), display.c_str(), SERVICE_ALL_ACCESS,
                                                   type, start, SERVICE_ERROR_NORMAL, image.c_str(), nullptr,
                                                   nullptr, nullptr, nullptr, nullptr));
        if (!service) {
            fwprintf(stderr, L"cannot create %ls: %lu\n", name.c_str(), GetLastError());
            return 1;
        }
    }
    const auto config = ReadServiceConfiguration(name);
    if (!config || config->BinaryPath != image || config->StartType != start) {
        fwprintf(stderr, L"%ls reads back differently\n", name.c_str());
        return 1;
    }
    wprintf(L"created %ls\n", name.c_str());
    return 0;
}
