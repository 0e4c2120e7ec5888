#pragma once
// What the product tests install into their prefix: files with chosen
// contents and times, uninstall keys in a chosen registry view, and the set of
// files that landed below a gather folder.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "platform/folder_walk.h"
#include "platform/handles.h"
#include "platform/locale_text.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "tests/support/test_folder.h"

namespace install_fixture {

// Where the products' 32-bit installers write their keys, and the other view.
constexpr REGSAM Installer32 = KEY_WOW64_32KEY;
constexpr REGSAM Native64 = KEY_WOW64_64KEY;
inline const std::wstring UninstallKeys = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";

inline void MakeFile(const std::wstring& path, const std::string& bytes = "x")
{
    ASSERT_TRUE(ForceDirectories(ParentFolder(path))) << "cannot make the folder of the fixture file";
    ASSERT_NO_THROW(WriteFileBytes(path, bytes));
}

// Sets the last-write time of a file to a local time; returns that time's text
// as the report writes it.
inline std::wstring StampLocal(const std::wstring& path, WORD year, WORD month, WORD day, WORD hour, WORD minute,
                               WORD second = 0, WORD milliseconds = 0)
{
    SYSTEMTIME local{};
    local.wYear = year;
    local.wMonth = month;
    local.wDay = day;
    local.wHour = hour;
    local.wMinute = minute;
    local.wSecond = second;
    local.wMilliseconds = milliseconds;
    SYSTEMTIME utc{};
    FILETIME stamp{};
    EXPECT_TRUE(TzSpecificLocalTimeToSystemTime(nullptr, &local, &utc) && SystemTimeToFileTime(&utc, &stamp));
    UniqueFile file(CreateFileW(ExtendedLengthPath(path).c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING,
                                FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    EXPECT_TRUE(file && SetFileTime(file.get(), nullptr, nullptr, &stamp)) << "cannot set the time of the fixture file";
    return DateTimeToStr(local);
}

inline void SetText(HKEY root, const std::wstring& key, const std::wstring& name, const std::wstring& text,
                    REGSAM view = Installer32)
{
    UniqueKey handle;
    ASSERT_EQ(RegCreateKeyExW(root, key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS | view, nullptr, handle.put(), nullptr),
              ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExW(handle.get(), name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                             static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t))),
              ERROR_SUCCESS);
}

inline void SetDword(const std::wstring& key, const std::wstring& name, DWORD value, REGSAM view = Installer32)
{
    UniqueKey handle;
    ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS | view, nullptr,
                              handle.put(), nullptr),
              ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExW(handle.get(), name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value),
                             sizeof(value)),
              ERROR_SUCCESS);
}

// An uninstall key as a product's installer writes it.
inline void InstallKey(const std::wstring& keyName, const std::wstring& location, REGSAM view = Installer32)
{
    SetText(HKEY_LOCAL_MACHINE, UninstallKeys + keyName, L"InstallLocation", location, view);
}

// Every file below a folder, relative to it, letter case as stored.
inline std::set<std::wstring> FilesBelow(const std::wstring& folder)
{
    std::set<std::wstring> files;
    TWalkOptions options;
    options.IncludeHidden = true;
    options.IncludeSystem = true;
    WalkFiles(folder, options, [&](const TWalkItem& item) { files.insert(item.RelativePath); });
    return files;
}

// The files of `now` that `before` did not have.
inline std::set<std::wstring> Added(const std::set<std::wstring>& before, const std::set<std::wstring>& now)
{
    std::set<std::wstring> added;
    std::set_difference(now.begin(), now.end(), before.begin(), before.end(), std::inserter(added, added.end()));
    return added;
}

// A path of this many characters or more below `base`.
inline std::wstring LongFolder(const std::wstring& base, size_t length)
{
    std::wstring folder = IncludeTrailingBackslash(base);
    while (folder.size() < length)
        folder += L"a-folder-name-of-some-length-below-the-product\\";
    return folder;
}

}  // namespace install_fixture
