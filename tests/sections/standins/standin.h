#pragma once
// What the stand-ins for Windows' own programs share. Each one records how it
// was started in <folder>\<program>.log (its own path in lower case, then its
// arguments, separated by "|", UTF-8, one line per start) and takes what it
// prints from files of that folder, so that a test decides every byte. The
// folder is %VEXLO_STANDIN_DIR%, or C:\standin.
#include <windows.h>

#include <string>

namespace standin {

inline std::wstring Folder()
{
    wchar_t buffer[MAX_PATH] = {};
    const DWORD n = GetEnvironmentVariableW(L"VEXLO_STANDIN_DIR", buffer, MAX_PATH);
    std::wstring folder = n > 0 && n < MAX_PATH ? std::wstring(buffer, n) : std::wstring(L"C:\\standin");
    if (folder.back() != L'\\')
        folder += L'\\';
    return folder;
}

inline std::wstring Lower(std::wstring text)
{
    CharLowerBuffW(text.data(), static_cast<DWORD>(text.size()));
    return text;
}

inline std::wstring OwnPath()
{
    wchar_t buffer[MAX_PATH] = {};
    const DWORD n = GetModuleFileNameW(nullptr, buffer, MAX_PATH);
    return Lower(std::wstring(buffer, n));
}

inline std::string Utf8(const std::wstring& text)
{
    const int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr,
                                      nullptr);
    std::string bytes(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), bytes.data(), n, nullptr, nullptr);
    return bytes;
}

inline std::string Ansi(const std::wstring& text)
{
    const int n = WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr,
                                      nullptr);
    std::string bytes(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), bytes.data(), n, nullptr, nullptr);
    return bytes;
}

inline bool Exists(const std::wstring& path)
{
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// The whole file, or nothing.
inline std::string ReadAll(const std::wstring& path)
{
    std::string bytes;
    const HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return bytes;
    char chunk[4096];
    DWORD got = 0;
    while (ReadFile(file, chunk, sizeof(chunk), &got, nullptr) && got > 0)
        bytes.append(chunk, got);
    CloseHandle(file);
    return bytes;
}

inline void Append(const std::wstring& path, const std::string& bytes)
{
    const HANDLE file = CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                    OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return;
    DWORD written = 0;
    WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
}

inline void Record(const wchar_t* program, int argc, wchar_t** argv)
{
    std::wstring line = OwnPath();
    for (int i = 1; i < argc; ++i)
        line += L"|" + std::wstring(argv[i]);
    Append(Folder() + program + L".log", Utf8(line) + "\n");
}

inline void WriteOut(const std::string& bytes)
{
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

// Prints <folder><name>.txt; never ends when <folder><name>.hang exists
// (its process id is written there first).
inline void Answer(const std::wstring& name)
{
    const std::wstring hang = Folder() + name + L".hang";
    if (Exists(hang)) {
        Append(hang, std::to_string(GetCurrentProcessId()));
        Sleep(INFINITE);
    }
    WriteOut(ReadAll(Folder() + name + L".txt"));
}

}  // namespace standin
