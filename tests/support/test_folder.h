#pragma once
// A scratch folder under the prefix's temporary folder, removed with its contents.
#include <windows.h>

#include <string>
#include <vector>

#include "platform/folder_delete.h"
#include "platform/paths.h"

class TTestFolder {
public:
    TTestFolder()
    {
        wchar_t temp[MAX_PATH + 1] = {};
        GetTempPathW(MAX_PATH + 1, temp);
        static LONG counter = 0;
        FPath = std::wstring(temp) + L"vexlo-test-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                std::to_wstring(InterlockedIncrement(&counter)) + L"\\";
        ForceDirectories(FPath);
    }
    ~TTestFolder() { DeleteFolder(FPath); }
    TTestFolder(const TTestFolder&) = delete;
    TTestFolder& operator=(const TTestFolder&) = delete;

    // Path with a trailing backslash.
    const std::wstring& Path() const { return FPath; }
    std::wstring operator/(const std::wstring& name) const { return FPath + name; }

private:
    std::wstring FPath;
};

// Whole-file helpers for tests.
std::string ReadFileBytes(const std::wstring& path);
void WriteFileBytes(const std::wstring& path, const std::string& bytes);
// UTF-16LE bytes (no byte order mark) to text.
std::wstring FromUtf16Le(const std::string& bytes, size_t offset = 0);
// A message-only window (a STATIC) for tests that receive the run's posted
// messages. Under a heavily loaded machine Wine's first window of a process
// may fail while its desktop process starts: tried again, for up to 60 s.
HWND CreateMessageWindow();
// The lines of a diagnostic log without their time stamps.
std::vector<std::wstring> LogWords(const std::wstring& logFile);
