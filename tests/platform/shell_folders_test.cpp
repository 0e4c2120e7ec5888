// The well-known folders, on the folders of the test's own Wine prefix.
#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <string>

#include "platform/shell_folders.h"
#include "platform/process_identity.h"
#include "platform/paths.h"

namespace {

bool Is32BitBuild()
{
    const char* arch = std::getenv("VEXLO_ARCH");
    return arch && std::string(arch) == "i686";
}

std::string Narrow(const std::wstring& text) { return std::string(text.begin(), text.end()); }

std::wstring Env(const wchar_t* name)
{
    wchar_t buffer[1024] = {};
    const DWORD n = GetEnvironmentVariableW(name, buffer, 1024);
    return n > 0 && n < 1024 ? std::wstring(buffer, n) : std::wstring();
}

// The prefix user's profile folder, C:\users\<name>.
std::wstring Profile() { return Env(L"USERPROFILE"); }

bool SamePath(const std::wstring& a, const std::wstring& b) { return _wcsicmp(a.c_str(), b.c_str()) == 0; }

}  // namespace

TEST(AppFrame, HoldsTheApplicationDataFoldersAndTheProgramFolder)
{
    ASSERT_FALSE(Profile().empty());
    EXPECT_EQ(AppFrame.AppDataDir, Profile() + L"\\AppData\\Roaming");
    EXPECT_EQ(AppFrame.CommonAppDataDir, L"C:\\ProgramData");
    EXPECT_TRUE(DirectoryExists(AppFrame.AppDataDir));

    wchar_t exe[MAX_PATH] = {};
    ASSERT_GT(GetModuleFileNameW(nullptr, exe, MAX_PATH), 0u);
    const std::wstring self(exe);
    EXPECT_EQ(AppFrame.AppDir, self.substr(0, self.rfind(L'\\') + 1));
    EXPECT_EQ(AppFrame.AppDir.back(), L'\\');
    EXPECT_TRUE(FileExists(AppFrame.AppDir + self.substr(self.rfind(L'\\') + 1)));

    // Another instance resolves the same.
    const TAppFrame other;
    EXPECT_EQ(other.AppDataDir, AppFrame.AppDataDir);
    EXPECT_EQ(other.CommonAppDataDir, AppFrame.CommonAppDataDir);
    EXPECT_EQ(other.AppDir, AppFrame.AppDir);
}

struct FolderCase {
    unsigned kind;
    const wchar_t* folder;    // "~" stands for the user's profile folder
    const wchar_t* folder32;  // where the 32-bit build differs
};

// What Wine 8's prefix reports for each kind.
const FolderCase FolderCases[] = {
    {0, L"C:\\windows", nullptr},
    {1, L"C:\\windows\\system32", nullptr},
    {2, L"~\\Temp\\", nullptr},
    {3, L"~\\AppData\\Local\\Microsoft\\Windows\\INetCache", nullptr},
    {4, L"~\\AppData\\Local\\Microsoft\\Windows\\INetCookies", nullptr},
    {5, L"~\\AppData\\Local\\Microsoft\\Windows\\History", nullptr},
    {6, L"~\\AppData\\Roaming\\Microsoft\\Windows\\Recent", nullptr},
    {7, L"~\\Desktop", nullptr},
    {8, L"~\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu\\Programs", nullptr},
    {9, L"~\\Favorites", nullptr},
    {10, L"~\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu\\Programs\\StartUp", nullptr},
    {11, L"~", nullptr},
    {12, L"~\\AppData\\Roaming", nullptr},
    {13, L"~\\AppData\\Local", nullptr},
    {15, L"C:\\Program Files", L"C:\\Program Files (x86)"},
    {16, L"C:\\Program Files\\Common Files", L"C:\\Program Files (x86)\\Common Files"},
    {17, L"~\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu", nullptr},
    {18, L"C:\\ProgramData", nullptr},
    {19, L"~\\AppData\\Local", nullptr},
    {20, L"C:\\windows\\Fonts", nullptr},
    {21, L"~\\AppData\\Roaming\\Microsoft\\Windows\\Templates", nullptr},
    {22, L"~\\AppData\\Roaming\\Microsoft\\Windows\\Network Shortcuts", nullptr},
    {23, L"~\\AppData\\Roaming\\Microsoft\\Windows\\SendTo", nullptr},
    {24, L"~\\Music", nullptr},
    {25, L"~\\Videos", nullptr},
    {26, L"~\\AppData\\Roaming\\Microsoft\\Windows\\Printer Shortcuts", nullptr},
    {27, L"~\\Pictures", nullptr},
    {28, L"C:\\windows\\syswow64", nullptr},
    {29, L"C:\\Program Files (x86)", nullptr},
    {30, L"C:\\Program Files\\Common Files", L"C:\\Program Files (x86)\\Common Files"},
    {31, L"C:\\Program Files (x86)\\Common Files", nullptr},
    {32, L"~\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu\\Programs\\Administrative Tools", nullptr},
    {33, L"C:\\windows\\Resources", nullptr},
    {34, L"", nullptr},  // Wine has no CD-burning area
    {35, L"~\\Documents", nullptr},
};

TEST(AppFrame, EveryFolderKind)
{
    for (const FolderCase& c : FolderCases) {
        std::wstring expected = Is32BitBuild() && c.folder32 ? c.folder32 : c.folder;
        if (!expected.empty() && expected[0] == L'~')
            expected = Profile() + expected.substr(1);
        std::wstring path = L"previous";
        AppFrame.GetFolder(c.kind, path);
        EXPECT_TRUE(SamePath(path, expected)) << "kind " << c.kind << ": " << Narrow(path);
        if (!expected.empty()) {
            EXPECT_TRUE(DirectoryExists(path)) << "kind " << c.kind;
        }
    }
}

TEST(AppFrame, OnlyTheTemporaryFolderEndsWithABackslash)
{
    for (unsigned kind = 0; kind <= 35; ++kind) {
        std::wstring path;
        AppFrame.GetFolder(kind, path);
        if (!path.empty()) {
            EXPECT_EQ(path.back() == L'\\', kind == 2) << "kind " << kind << ": " << Narrow(path);
        }
    }
}

TEST(AppFrame, KindsWithoutAFolderLeaveThePathAlone)
{
    for (const unsigned kind : {14u, 36u, 37u, 100u, UINT_MAX}) {
        std::wstring path = L"untouched";
        AppFrame.GetFolder(kind, path);
        EXPECT_EQ(path, L"untouched") << "kind " << kind;
    }
    // A kind whose folder the shell lacks does assign: the empty text.
    std::wstring path = L"untouched";
    AppFrame.GetFolder(34, path);
    EXPECT_EQ(path, L"");
}

TEST(AppFrame, WindowsDriveAndUserName)
{
    EXPECT_EQ(TAppFrame::WindowsDrive(), L"C:");
    const std::wstring user = GetCurrentUserName();
    ASSERT_FALSE(user.empty());
    EXPECT_EQ(user, Env(L"USERNAME"));
    EXPECT_TRUE(SamePath(Profile(), L"C:\\users\\" + user));
}

TEST(AppFrame, ConventionalApplicationDataFolders)
{
    const struct {
        bool common;
        DWORD major;
        const wchar_t* drive;
        const wchar_t* user;
        const wchar_t* expected;
    } cases[] = {
        {false, 5, L"D:", L"bob", L"D:\\Documents and Settings\\bob\\Application Data"},
        {true, 5, L"D:", L"bob", L"D:\\Documents and Settings\\All Users\\Application Data"},
        {false, 4, L"C:", L"ann", L"C:\\Documents and Settings\\ann\\Application Data"},
        {false, 6, L"C:", L"ann", L"C:\\Users\\ann\\AppData\\Roaming"},
        {true, 6, L"C:", L"ann", L"C:\\ProgramData"},
        {false, 10, L"E:", L"ann", L"E:\\Users\\ann\\AppData\\Roaming"},
        {true, 10, L"E:", L"", L"E:\\ProgramData"},
        // Without a drive or (per user) a name there is no such path.
        {true, 6, L"", L"ann", L""},
        {false, 6, L"", L"ann", L""},
        {false, 6, L"C:", L"", L""},
        {false, 5, L"C:", L"", L""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(TAppFrame::ConventionalAppDataDir(c.common, c.major, c.drive, c.user), c.expected)
            << c.common << " " << c.major << " " << Narrow(c.drive) << " " << Narrow(c.user);
}

TEST(AppFrame, FallbackFindsTheShellsFolderWhenItAnswers)
{
    EXPECT_EQ(TAppFrame::AppDataFallback(false), AppFrame.AppDataDir);
    EXPECT_EQ(TAppFrame::AppDataFallback(true), AppFrame.CommonAppDataDir);
    EXPECT_EQ(TAppFrame::AppDataFromShellFolders(false), AppFrame.AppDataDir);
    EXPECT_EQ(TAppFrame::AppDataFromShellFolders(true), AppFrame.CommonAppDataDir);
}
