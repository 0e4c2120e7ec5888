#include <gtest/gtest.h>

#include <shlobj.h>

#include <cstdlib>
#include <map>
#include <string>

#include "platform/modules.h"
#include "platform/paths.h"
#include "platform/csidl_folders.h"
#include "platform/text.h"
#include "platform/windows_version.h"
#include "tests/support/test_folder.h"

namespace {
bool Is32BitBuild()
{
    const char* arch = std::getenv("VEXLO_ARCH");
    return arch && std::string(arch) == "i686";
}

bool EndsWith(const std::wstring& text, const std::wstring& tail)
{
    return EndsWithText(text, tail);
}
}  // namespace

TEST(SpecialFolder, FallbacksWhenTheShellGivesTooLittle)
{
    const std::map<std::wstring, std::wstring> set = {
        {L"APPDATA", L"  E:\\Env\\Roaming \t"},
        {L"LOCALAPPDATA", L"E:\\Env\\Local"},
        {L"ProgramData", L"E:\\Env\\ProgramData"},
        {L"ProgramFiles", L"E:\\Env\\PF"},
        {L"ProgramFiles(x86)", L"E:\\Env\\PF86"},
        {L"CommonProgramFiles", L"E:\\Env\\CPF"},
        {L"CommonProgramFiles(x86)", L"\r\nE:\\Env\\CPF86"},
    };
    const std::map<std::wstring, std::wstring> blank = {{L"APPDATA", L" \t\r\n"}, {L"ProgramFiles(x86)", L"   "}};
    const auto env = [](const std::map<std::wstring, std::wstring>& vars) {
        return [vars](const wchar_t* name) {
            const auto it = vars.find(name);
            return it == vars.end() ? std::wstring() : it->second;
        };
    };
    struct Case {
        int csidl;
        std::wstring shell;
        bool useEnv;  // the set variables, else none (or blank ones)
        DWORD major;
        bool wow64;
        std::wstring expected;
    };
    const Case cases[] = {
        // environment first, trimmed
        {CSIDL_APPDATA, L"", true, 10, false, L"E:\\Env\\Roaming"},
        {CSIDL_LOCAL_APPDATA, L"C:", true, 6, false, L"E:\\Env\\Local"},
        {CSIDL_COMMON_APPDATA, L"", true, 5, false, L"E:\\Env\\ProgramData"},
        {CSIDL_PROGRAM_FILES, L"", true, 6, false, L"E:\\Env\\PF"},
        {CSIDL_PROGRAM_FILES, L"", true, 6, true, L"E:\\Env\\PF86"},
        {CSIDL_PROGRAM_FILES_COMMON, L"", true, 6, false, L"E:\\Env\\CPF"},
        {CSIDL_PROGRAM_FILES_COMMON, L"", true, 6, true, L"E:\\Env\\CPF86"},
        // built paths, new layout
        {CSIDL_APPDATA, L"", false, 6, false, L"D:\\Users\\ann\\AppData\\Roaming"},
        {CSIDL_LOCAL_APPDATA, L"", false, 10, true, L"D:\\Users\\ann\\AppData\\Local"},
        {CSIDL_COMMON_APPDATA, L"", false, 6, false, L"D:\\ProgramData"},
        // built paths, old layout
        {CSIDL_APPDATA, L"D:", false, 5, false, L"D:\\Documents and Settings\\ann\\Application Data"},
        {CSIDL_LOCAL_APPDATA, L"", false, 5, false, L"D:\\Documents and Settings\\ann\\Local Settings\\Application Data"},
        {CSIDL_COMMON_APPDATA, L"", false, 4, false, L"D:\\Documents and Settings\\All Users\\Application Data"},
        // program files: the same for every major version
        {CSIDL_PROGRAM_FILES, L"", false, 5, false, L"D:\\Program Files"},
        {CSIDL_PROGRAM_FILES, L"", false, 10, true, L"D:\\Program Files (x86)"},
        {CSIDL_PROGRAM_FILES_COMMON, L"", false, 5, false, L"D:\\Program Files\\Common Files"},
        {CSIDL_PROGRAM_FILES_COMMON, L"", false, 6, true, L"D:\\Program Files (x86)\\Common Files"},
        // a long enough shell answer is final
        {CSIDL_APPDATA, L"C:\\A", true, 6, false, L"C:\\A"},
        // no fallback for other folders, however short the answer
        {CSIDL_DESKTOPDIRECTORY, L"", true, 6, false, L""},
        {CSIDL_COMMON_STARTUP, L"C:", true, 6, false, L"C:"},
        {CSIDL_PERSONAL, L"", true, 6, false, L""},
    };
    for (const Case& c : cases) {
        TFolderFallbackFacts facts;
        facts.Env = env(c.useEnv ? set : blank);
        facts.Drive = L"D:";
        facts.User = L"ann";
        facts.Major = c.major;
        facts.Wow64 = c.wow64;
        EXPECT_EQ(ResolveSpecialFolder(c.csidl, c.shell, facts), c.expected)
            << "csidl " << c.csidl << " major " << c.major << " wow64 " << c.wow64;
    }
}

TEST(SpecialFolder, AnswersOfTheShell)
{
    const std::wstring desktop = GetSpecialFolder(nullptr, CSIDL_DESKTOPDIRECTORY);
    EXPECT_TRUE(EndsWith(desktop, L"\\Desktop")) << desktop;
    EXPECT_TRUE(DirectoryExists(desktop));
    EXPECT_TRUE(EndsWith(GetSpecialFolder(nullptr, CSIDL_APPDATA), L"\\AppData\\Roaming"));
    EXPECT_TRUE(EndsWith(GetSpecialFolder(nullptr, CSIDL_PROGRAM_FILES),
                         Is32BitBuild() ? L"\\Program Files (x86)" : L"\\Program Files"));
    EXPECT_EQ(GetSpecialFolder(nullptr, 0x7E), L"");  // no such folder, no fallback
}

// ---------------------------------------------------------------------------
// Windows names.

