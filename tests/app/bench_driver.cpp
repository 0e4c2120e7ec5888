// bench_driver inventory FOLDER OUTFILE
//     Plants an uninstall key of a product installed in FOLDER (the products'
//     registry view) and builds its FilesInfo section with BuildProductSection:
//     the walk of ListInstallTree and the version and MD5 of every file. The
//     lines go to OUTFILE as FilesInfo.txt is written; prints the line count.
// bench_driver zip FOLDER ARCHIVE
//     ZipFile(FOLDER, ARCHIVE), read-back included; prints the entry count.
// Either form then prints on stderr what the process cost, as Windows reports it:
//     "time <milliseconds>" (QueryPerformanceCounter around the work),
//     "peak_working_set <bytes>" (GetProcessMemoryInfo's peak) and
//     "peak_private <bytes>" (the highest PagefileUsage seen by a thread that
//     reads GetProcessMemoryInfo every 5 ms while the work runs: the private
//     bytes the process has committed; under Wine its anonymous resident
//     memory, which leaves out mapped views of files).
// The benchmark (bench/scale.sh) uses it; it is no test.
#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <exception>
#include <stdexcept>
#include <string>
#include <thread>

#include "platform/handles.h"
#include "products/file_inventory.h"
#include "products/product_detection.h"
#include "sections/report_lines.h"
#include "app/zip_archive.h"

namespace {

const wchar_t* const BenchKeyName = L"VexloBenchProduct";

int Usage()
{
    std::fputs("usage: bench_driver inventory FOLDER OUTFILE\n"
               "       bench_driver zip FOLDER ARCHIVE\n",
               stderr);
    return 2;
}

PROCESS_MEMORY_COUNTERS_EX MemoryCounters()
{
    PROCESS_MEMORY_COUNTERS_EX memory{};
    memory.cb = sizeof memory;
    GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&memory), sizeof memory);
    return memory;
}

// The highest private bytes while it lives.
class TPrivatePeak {
public:
    TPrivatePeak()
        : FThread([this](std::stop_token stop) {
              while (!stop.stop_requested()) {
                  Sample();
                  Sleep(5);
              }
          })
    {
    }
    size_t Stop()
    {
        FThread.request_stop();
        FThread.join();
        Sample();
        return FPeak;
    }

private:
    void Sample()
    {
        const size_t now = MemoryCounters().PagefileUsage;
        size_t seen = FPeak.load();
        while (now > seen && !FPeak.compare_exchange_weak(seen, now)) {
        }
    }
    std::atomic<size_t> FPeak{0};
    std::jthread FThread;
};

void PlantUninstallKey(const std::wstring& folder)
{
    const std::wstring path = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" + std::wstring(BenchKeyName);
    HKEY raw = nullptr;
    const LONG result = RegCreateKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0,
                                        KEY_SET_VALUE | ProductKeysView(), nullptr, &raw, nullptr);
    if (result != ERROR_SUCCESS)
        throw std::runtime_error("cannot create the uninstall key: " + std::to_string(result));
    const UniqueKey key(raw);
    const DWORD bytes = static_cast<DWORD>((folder.size() + 1) * sizeof(wchar_t));
    if (RegSetValueExW(key.get(), L"InstallLocation", 0, REG_SZ, reinterpret_cast<const BYTE*>(folder.c_str()),
                       bytes) != ERROR_SUCCESS)
        throw std::runtime_error("cannot write InstallLocation");
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc != 4)
        return Usage();
    const std::wstring mode = argv[1];
    try {
        LARGE_INTEGER frequency{}, start{}, stop{};
        QueryPerformanceFrequency(&frequency);
        size_t count = 0;
        TPrivatePeak privatePeak;
        if (mode == L"inventory") {
            PlantUninstallKey(argv[2]);
            QueryPerformanceCounter(&start);
            const TReportLines lines = BuildProductSection(L"Bench", BenchKeyName);
            WriteReportFile(argv[3], lines);
            QueryPerformanceCounter(&stop);
            count = lines.size();
        } else if (mode == L"zip") {
            QueryPerformanceCounter(&start);
            count = static_cast<size_t>(ZipFile(argv[2], argv[3]));
            QueryPerformanceCounter(&stop);
        } else {
            return Usage();
        }
        const size_t peakPrivate = privatePeak.Stop();
        const PROCESS_MEMORY_COUNTERS_EX memory = MemoryCounters();
        std::printf("%zu\n", count);
        std::fprintf(stderr, "time %.0f\npeak_working_set %zu\npeak_private %zu\n",
                     static_cast<double>(stop.QuadPart - start.QuadPart) * 1e3 /
                         static_cast<double>(frequency.QuadPart),
                     static_cast<size_t>(memory.PeakWorkingSetSize), peakPrivate);
        return 0;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "error: %s\n", e.what());
        return 1;
    }
}
