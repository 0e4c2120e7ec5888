// The fallback for the application-data folders, with the shell made unable
// to answer: the prefix's "User Shell Folders" entry points at a folder that
// does not exist, so the shell reports none.
//
// Whenever it is asked, Wine's shell writes its (missing) answer into the
// "Shell Folders" key, so the key never names an existing folder while the
// shell fails: the key's step is read on its own, and the whole fallback is
// seen going from the shell past the key to the conventional folder.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/shell_folders.h"
#include "platform/process_identity.h"
#include "platform/handles.h"
#include "platform/paths.h"
#include "tests/support/test_folder.h"

namespace {

const wchar_t ShellFolders[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
const wchar_t UserShellFolders[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders";
const wchar_t Nowhere[] = L"C:\\vexlo-nowhere";


void SetText(HKEY root, const wchar_t* path, const wchar_t* name, const std::wstring& text, DWORD type)
{
    UniqueKey key;
    ASSERT_EQ(RegCreateKeyExW(root, path, 0, nullptr, 0, KEY_SET_VALUE, nullptr, key.put(), nullptr), ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExW(key.get(), name, 0, type, reinterpret_cast<const BYTE*>(text.c_str()),
                             static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t))),
              ERROR_SUCCESS);
}

struct Side {
    const char* what;
    bool common;
    HKEY root;
    const wchar_t* name;  // in both Shell Folders keys
    int csidl;
};

const Side Sides[] = {
    {"per user", false, HKEY_CURRENT_USER, L"AppData", 0x1A},
    {"common", true, HKEY_LOCAL_MACHINE, L"Common AppData", 0x23},
};

class AppDataFallback : public ::testing::TestWithParam<Side> {
protected:
    void SetUp() override
    {
        const Side& side = GetParam();
        ASSERT_EQ(RegOpenKeyExW(side.root, UserShellFolders, 0, KEY_QUERY_VALUE | KEY_SET_VALUE, FUserShellFolders.put()),
                  ERROR_SUCCESS);
        FSaved.resize(4096);
        DWORD size = static_cast<DWORD>(FSaved.size());
        FHadValue = RegQueryValueExW(FUserShellFolders.get(), side.name, nullptr, &FSavedType, FSaved.data(), &size) ==
                    ERROR_SUCCESS;
        FSaved.resize(FHadValue ? size : 0);
        SetText(side.root, UserShellFolders, side.name, std::wstring(Nowhere) + L"\\AppData", REG_EXPAND_SZ);
        ASSERT_EQ(TAppFrame::SpecialFolderPath(nullptr, side.csidl), L"") << "the shell still answers";
    }

    // Sets (or deletes) the value in the Shell Folders key.
    void SetShellFoldersValue(const std::wstring* text, DWORD type = REG_SZ)
    {
        const Side& side = GetParam();
        UniqueKey key;
        ASSERT_EQ(RegOpenKeyExW(side.root, ShellFolders, 0, KEY_SET_VALUE, key.put()), ERROR_SUCCESS);
        if (!text) {
            const LONG rc = RegDeleteValueW(key.get(), side.name);
            ASSERT_TRUE(rc == ERROR_SUCCESS || rc == ERROR_FILE_NOT_FOUND);
        } else if (type == REG_DWORD) {
            const DWORD number = 7;
            ASSERT_EQ(RegSetValueExW(key.get(), side.name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number),
                                     sizeof(number)),
                      ERROR_SUCCESS);
        } else {
            ASSERT_EQ(RegSetValueExW(key.get(), side.name, 0, type, reinterpret_cast<const BYTE*>(text->c_str()),
                                     static_cast<DWORD>((text->size() + 1) * sizeof(wchar_t))),
                      ERROR_SUCCESS);
        }
    }

    // The shell answers again for the tests that follow.
    void TearDown() override
    {
        if (!FUserShellFolders)
            return;
        if (FHadValue)
            RegSetValueExW(FUserShellFolders.get(), GetParam().name, 0, FSavedType, FSaved.data(),
                           static_cast<DWORD>(FSaved.size()));
        else
            RegDeleteValueW(FUserShellFolders.get(), GetParam().name);
    }

    std::wstring Conventional() const
    {
        const std::wstring drive = TAppFrame::WindowsDrive();
        return GetParam().common ? drive + L"\\ProgramData"
                                 : drive + L"\\Users\\" + GetCurrentUserName() + L"\\AppData\\Roaming";
    }

    UniqueKey FUserShellFolders;
    bool FHadValue = false;
    DWORD FSavedType = REG_NONE;
    std::vector<BYTE> FSaved;
};

}  // namespace

TEST_P(AppDataFallback, TheShellFoldersKeyOnItsOwn)
{
    const bool common = GetParam().common;
    TTestFolder folder;
    const std::wstring path = ExcludeTrailingBackslash(folder.Path());
    SetShellFoldersValue(&path);
    EXPECT_EQ(TAppFrame::AppDataFromShellFolders(common), path);
    if (common) {
        // The process's own view: the other view's key does not count.
        const REGSAM otherView = sizeof(void*) == 4 ? KEY_WOW64_64KEY : KEY_WOW64_32KEY;
        UniqueKey other;
        ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, ShellFolders, 0, nullptr, 0, KEY_SET_VALUE | otherView, nullptr,
                                  other.put(), nullptr),
                  ERROR_SUCCESS);
        const std::wstring elsewhere = L"C:\\windows";
        ASSERT_EQ(RegSetValueExW(other.get(), GetParam().name, 0, REG_SZ,
                                 reinterpret_cast<const BYTE*>(elsewhere.c_str()),
                                 static_cast<DWORD>((elsewhere.size() + 1) * sizeof(wchar_t))),
                  ERROR_SUCCESS);
        EXPECT_EQ(TAppFrame::AppDataFromShellFolders(common), path);
    }

    // Anything but a string value gives nothing, without an error.
    SetShellFoldersValue(&path, REG_DWORD);
    EXPECT_EQ(TAppFrame::AppDataFromShellFolders(common), L"");
    SetShellFoldersValue(nullptr);
    EXPECT_EQ(TAppFrame::AppDataFromShellFolders(common), L"");
}

TEST_P(AppDataFallback, TheConventionalFolderWhenTheKeyNamesNone)
{
    const std::wstring missing = std::wstring(Nowhere) + L"\\Registry";
    const std::wstring wrongKind = L"unused";
    const struct {
        const char* what;
        const std::wstring* text;
        DWORD type;
    } cases[] = {
        {"a folder that does not exist", &missing, REG_SZ},
        {"no value", nullptr, REG_SZ},
        {"a value of another kind", &wrongKind, REG_DWORD},
    };
    ASSERT_TRUE(DirectoryExists(Conventional()));
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        SetShellFoldersValue(c.text, c.type);
        EXPECT_EQ(TAppFrame::AppDataFallback(GetParam().common), Conventional());
    }
}

TEST_P(AppDataFallback, NoFolderIsEverCreated)
{
    std::wstring path = L"previous";
    AppFrame().GetFolder(GetParam().common ? 18 : 12, path);
    EXPECT_EQ(path, L"");
    TAppFrame::AppDataFallback(GetParam().common);
    EXPECT_FALSE(DirectoryExists(Nowhere));
}

// A shell that reports no folder at creation sends the field to the fallback.
TEST_P(AppDataFallback, CreationFallsBackWhenTheShellHasNoAnswer)
{
    const TAppFrame frame;
    EXPECT_EQ(GetParam().common ? frame.CommonAppDataDir : frame.AppDataDir, Conventional());
    EXPECT_EQ(GetParam().common ? frame.AppDataDir : frame.CommonAppDataDir,
              GetParam().common ? AppFrame().AppDataDir : AppFrame().CommonAppDataDir);
}

INSTANTIATE_TEST_SUITE_P(BothFolders, AppDataFallback, ::testing::ValuesIn(Sides),
                         [](const ::testing::TestParamInfo<Side>& param) {
                             return std::string(param.param.common ? "Common" : "PerUser");
                         });

TEST(ShellFolders, AMissingFolderIsNotCreated)
{
    std::wstring videos;
    AppFrame().GetFolder(25, videos);
    ASSERT_FALSE(videos.empty());
    ASSERT_TRUE(RemoveDirectoryW(videos.c_str()));
    std::wstring path = L"previous";
    AppFrame().GetFolder(25, path);
    EXPECT_EQ(path, L"");
    EXPECT_FALSE(DirectoryExists(videos));
}
