// md5file [--time] [--repeat N] FILE...
// Prints FileMd5Hex of each file, one line each, in argument order.
// --time      also prints, on stderr, one line per file:
//             "time <bytes> <best milliseconds> <MB/s> <path>" (MB = 10^6 bytes)
// --repeat N  digests each file N times and reports the fastest run.
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

#include "platform/md5.h"

namespace {

std::string Narrow(const std::wstring& ascii)
{
    return std::string(ascii.begin(), ascii.end());
}

std::uint64_t FileSize(const std::wstring& path)
{
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!::GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data))
        return 0;
    return (std::uint64_t{data.nFileSizeHigh} << 32) | data.nFileSizeLow;
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    bool timed = false;
    unsigned long repeat = 1;
    std::vector<std::wstring> paths;
    for (int i = 1; i < argc; ++i) {
        const std::wstring arg = argv[i];
        if (arg == L"--time") {
            timed = true;
        } else if (arg == L"--repeat" && i + 1 < argc) {
            repeat = std::wcstoul(argv[++i], nullptr, 10);
            if (repeat == 0)
                repeat = 1;
        } else {
            paths.push_back(arg);
        }
    }
    if (paths.empty()) {
        std::fputs("usage: md5file [--time] [--repeat N] FILE...\n", stderr);
        return 2;
    }

    LARGE_INTEGER frequency{};
    ::QueryPerformanceFrequency(&frequency);
    for (const auto& path : paths) {
        std::wstring hex;
        double best = -1;
        for (unsigned long run = 0; run < repeat; ++run) {
            LARGE_INTEGER start{}, stop{};
            ::QueryPerformanceCounter(&start);
            hex = FileMd5Hex(path);
            ::QueryPerformanceCounter(&stop);
            const double seconds =
                static_cast<double>(stop.QuadPart - start.QuadPart) / static_cast<double>(frequency.QuadPart);
            if (best < 0 || seconds < best)
                best = seconds;
        }
        std::printf("%s\n", Narrow(hex).c_str());
        if (timed) {
            const std::uint64_t bytes = FileSize(path);
            const double rate = best > 0 ? static_cast<double>(bytes) / best / 1e6 : 0.0;
            std::fprintf(stderr, "time %llu %.3f %.1f %ls\n", static_cast<unsigned long long>(bytes), best * 1e3,
                         rate, path.c_str());
        }
    }
    std::fflush(stdout);
    return 0;
}
