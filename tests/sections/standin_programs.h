#pragma once
// Stand-ins in place of Windows' own programs, in both system folders of the
// test's prefix, and the folder their answers and logs are kept in.
#include <windows.h>

#include <string>
#include <vector>

#include "platform/fs_redirection.h"
#include "platform/modules.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "tests/support/test_folder.h"

inline std::wstring LowerText(std::wstring text)
{
    CharLowerBuffW(text.data(), static_cast<DWORD>(text.size()));
    return text;
}

// Copies a stand-in built next to the test program (`standinFile`, e.g.
// "schtasks_standin.exe") over the program `name` in C:\windows\system32 (the
// real one, also from a 32-bit test) and in C:\windows\syswow64. Wine runs its
// own builtin program of that name unless the prefix says "native first".
inline bool InstallSystemProgram(const std::wstring& standinFile, const std::wstring& name)
{
    HKEY overrides = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\Wine\\DllOverrides", 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                        &overrides, nullptr) != ERROR_SUCCESS)
        return false;
    static const wchar_t nativeFirst[] = L"native,builtin";
    const LONG set = RegSetValueExW(overrides, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(nativeFirst),
                                    sizeof(nativeFirst));
    RegCloseKey(overrides);
    if (set != ERROR_SUCCESS)
        return false;
    LoadWOW64Funcs();
    const std::wstring source = ParentFolder(GetModuleName()) + standinFile;
    const std::wstring windows = GetWindowsDir();
    bool copied = false;
    {
        const TFsRedirectionOff realSystem32;
        copied = CopyFileW(source.c_str(), (windows + L"\\system32\\" + name).c_str(), FALSE) != 0;
    }
    return copied && CopyFileW(source.c_str(), (windows + L"\\syswow64\\" + name).c_str(), FALSE) != 0;
}

// Where this build's child programs must come from, in lower case: the
// native system32 for the x86_64 build, syswow64 for the i686 build (a 32-bit
// process on 64-bit Windows, which System32 is redirected to).
inline std::wstring OwnKindSystemFolder()
{
#ifdef _WIN64
    return LowerText(GetWindowsDir() + L"\\system32\\");
#else
    return LowerText(GetWindowsDir() + L"\\syswow64\\");
#endif
}

// The stand-ins' folder (VEXLO_STANDIN_DIR) for one test: their answers go in,
// their logs come out.
class TStandinFolder {
public:
    TStandinFolder() { SetEnvironmentVariableW(L"VEXLO_STANDIN_DIR", FFolder.Path().c_str()); }
    ~TStandinFolder() { SetEnvironmentVariableW(L"VEXLO_STANDIN_DIR", nullptr); }
    TStandinFolder(const TStandinFolder&) = delete;
    TStandinFolder& operator=(const TStandinFolder&) = delete;

    std::wstring operator/(const std::wstring& name) const { return FFolder / name; }
    void Put(const std::wstring& name, const std::string& bytes) const { WriteFileBytes(FFolder / name, bytes); }
    // The starts a stand-in recorded: "<path>|<arg>|<arg>..." each.
    std::vector<std::wstring> Starts(const std::wstring& program) const
    {
        const std::wstring log = FFolder / (program + L".log");
        std::vector<std::wstring> starts;
        if (!FileExists(log))
            return starts;
        const std::wstring text = FromUtf8(ReadFileBytes(log));
        size_t begin = 0;
        for (size_t end = text.find(L'\n'); end != std::wstring::npos; end = text.find(L'\n', begin)) {
            starts.push_back(text.substr(begin, end - begin));
            begin = end + 1;
        }
        return starts;
    }

private:
    TTestFolder FFolder;
};
