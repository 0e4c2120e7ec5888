// A child program for the child-process tests.
// child_standin print HEX      writes the bytes HEX (two digits each) to standard output
// child_standin flood N        writes N lines "line <i>" + CR LF (more than a pipe holds)
// child_standin exit CODE      ends with exit code CODE
// child_standin hang PIDFILE   writes its process id to PIDFILE, prints "started" and never ends
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>

namespace {

void WriteOut(const std::string& bytes)
{
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc < 3)
        return 2;
    const std::wstring mode = argv[1];
    if (mode == L"print") {
        std::string bytes;
        for (const wchar_t* p = argv[2]; p[0] && p[1]; p += 2) {
            const wchar_t pair[3] = {p[0], p[1], 0};
            bytes.push_back(static_cast<char>(std::wcstoul(pair, nullptr, 16)));
        }
        WriteOut(bytes);
        return 0;
    }
    if (mode == L"flood") {
        const unsigned long count = std::wcstoul(argv[2], nullptr, 10);
        std::string bytes;
        for (unsigned long i = 0; i < count; ++i)
            bytes += "line " + std::to_string(i) + "\r\n";
        WriteOut(bytes);
        return 0;
    }
    if (mode == L"exit")
        return static_cast<int>(std::wcstol(argv[2], nullptr, 10));
    if (mode == L"hang") {
        const HANDLE file =
            CreateFileW(argv[2], GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE)
            return 3;
        const std::string pid = std::to_string(GetCurrentProcessId());
        DWORD written = 0;
        WriteFile(file, pid.data(), static_cast<DWORD>(pid.size()), &written, nullptr);
        CloseHandle(file);
        WriteOut("started\r\n");
        Sleep(INFINITE);
    }
    return 2;
}
