// The browser helper objects of the prefix's registry: the native (64-bit)
// view only, names and libraries from the class keys, missing parts empty, and
// a default value of an unexpected kind shown instead of ending the block.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "platform/handles.h"
#include "sections/browser_helpers.h"

namespace {

const std::wstring Helpers = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Browser Helper Objects\\";
const std::wstring Classes = L"SOFTWARE\\Classes\\CLSID\\";

UniqueKey CreateKey(const std::wstring& path, REGSAM view = KEY_WOW64_64KEY)
{
    UniqueKey key;
    EXPECT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS | view, nullptr,
                              key.put(), nullptr),
              ERROR_SUCCESS);
    return key;
}

void SetDefault(const std::wstring& path, const std::wstring& text)
{
    const UniqueKey key = CreateKey(path);
    ASSERT_EQ(RegSetValueExW(key.get(), nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                             static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t))),
              ERROR_SUCCESS);
}

const TReportLines Head{L"", L"===== BHOs =====", L""};

// Runs first: Wine registers no helper objects.
TEST(BrowserHelpers, NoHelpersGiveTheHeaderAlone)
{
    EXPECT_EQ(ListBrowserHelpers(), Head);
    TReportLines lines{L"before"};
    GetBHOItemListEx(lines);
    EXPECT_EQ(lines, (TReportLines{L"before", AsteriskRow, L"", L"===== BHOs =====", L""}));
}

TEST(BrowserHelpers, NameAndLibraryOfEachNativeHelper)
{
    const wchar_t* a = L"{A0000000-0000-0000-0000-00000000000A}";
    const wchar_t* b = L"{B0000000-0000-0000-0000-00000000000B}";
    const wchar_t* c = L"{C0000000-0000-0000-0000-00000000000C}";
    const wchar_t* d = L"{D0000000-0000-0000-0000-00000000000D}";
    const wchar_t* e = L"{E0000000-0000-0000-0000-00000000000E}";
    const wchar_t* wow = L"{F0000000-0000-0000-0000-00000000000F}";
    for (const wchar_t* id : {a, b, c, d, e})
        CreateKey(Helpers + id);
    SetDefault(Classes + a, L"Vexlo Toolbar Helper");
    SetDefault(Classes + a + L"\\InprocServer32", L"C:\\Program Files\\Vexlo\\helper.dll");
    CreateKey(Classes + b);  // a class key without a name
    SetDefault(Classes + b + L"\\InprocServer32", L"C:\\x.dll");
    // c: no class key at all
    {
        const UniqueKey key = CreateKey(Classes + d);
        const DWORD five = 5;
        ASSERT_EQ(RegSetValueExW(key.get(), nullptr, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&five), sizeof five),
                  ERROR_SUCCESS);
    }
    SetDefault(Classes + d + L"\\InprocServer32", L"C:\\d.dll");
    SetDefault(Classes + e, L"Only a name");
    // A helper of the 32-bit branch is not listed.
    CreateKey(Helpers + wow, KEY_WOW64_32KEY);

    TReportLines expected = Head;
    for (const wchar_t* line : {L"Vexlo Toolbar Helper, C:\\Program Files\\Vexlo\\helper.dll", L", C:\\x.dll", L", ",
                                L"dword:00000005, C:\\d.dll", L"Only a name, "})
        expected.push_back(line);
    EXPECT_EQ(ListBrowserHelpers(), expected);
}

}  // namespace
