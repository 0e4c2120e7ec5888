#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "app/diagnostic_log.h"
#include "app/folder_copy.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "tests/support/test_folder.h"

TEST(GetFiles, ListsEveryFileBreadthFirstHiddenOnesIncluded)
{
    TTestFolder dir;
    ASSERT_TRUE(ForceDirectories(dir / L"a\\b"));
    WriteFileBytes(dir / L"a\\b\\deep.txt", "3");
    WriteFileBytes(dir / L"a\\mid.txt", "2");
    WriteFileBytes(dir / L"top.txt", "1");
    WriteFileBytes(dir / L"hidden.txt", "h");
    SetFileAttributesW((dir / L"hidden.txt").c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);

    std::vector<std::wstring> files;
    GetFiles(dir.Path(), files);
    ASSERT_EQ(files.size(), 4u);
    auto position = [&](const std::wstring& name) {
        return std::find(files.begin(), files.end(), dir / name) - files.begin();
    };
    EXPECT_LT(position(L"top.txt"), position(L"a\\mid.txt"));
    EXPECT_LT(position(L"a\\mid.txt"), position(L"a\\b\\deep.txt"));
    EXPECT_LT(position(L"hidden.txt"), 4);
}

TEST(CopyFolder, CopiesTheTreeAndLogsEachFile)
{
    TTestFolder dir;
    SetLogFileName(dir / L"copy.log");
    ASSERT_TRUE(ForceDirectories(dir / L"src\\sub"));
    WriteFileBytes(dir / L"src\\one.txt", "one");
    WriteFileBytes(dir / L"src\\sub\\two.bin", std::string("\0\1\2", 3));
    CopyFolder(dir / L"dst\\", dir / L"src\\");
    EXPECT_EQ(ReadFileBytes(dir / L"dst\\one.txt"), "one");
    EXPECT_EQ(ReadFileBytes(dir / L"dst\\sub\\two.bin"), std::string("\0\1\2", 3));
    const std::wstring log = FromUtf16Le(ReadFileBytes(dir / L"copy.log"), 2);
    EXPECT_NE(log.find(L"CopyFolder (" + dir / L"src\\) to (" + dir / L"dst\\)"), std::wstring::npos);
    EXPECT_NE(log.find(L"CopyFile(" + dir / L"src\\sub\\two.bin," + dir / L"dst\\sub\\two.bin) succ"),
              std::wstring::npos);
}


// The links are planted from the Linux side before the program starts (see
// worker.cmake):
//   C:\vexlo-links\gather\GetInfoDir\loop     -> C:\vexlo-links\gather\GetInfoDir  (a loop)
//   C:\vexlo-links\gather\GetInfoDir\outside  -> C:\vexlo-links\gather\outside     (a folder elsewhere)
// The copy ends, takes every real file once, never enters either link and
// names each in the log.
TEST(CopyFolder, PassesOverLinksAndLoopsAndSaysSo)
{
    const std::wstring root = L"C:\\vexlo-links\\gather\\";
    const std::wstring source = root + L"GetInfoDir\\";
    ASSERT_TRUE(ForceDirectories(source + L"AppPath"));
    ASSERT_TRUE(ForceDirectories(root + L"outside"));
    WriteFileBytes(source + L"Vexlo_Debug_Info.txt", "report");
    WriteFileBytes(source + L"AppPath\\a.log", "log");
    WriteFileBytes(root + L"outside\\secret.txt", "not ours");
    SetLogFileName(root + L"copy.log");

    std::vector<std::wstring> files;
    GetFiles(source, files);
    std::sort(files.begin(), files.end());
    EXPECT_EQ(files, (std::vector<std::wstring>{source + L"AppPath\\a.log", source + L"Vexlo_Debug_Info.txt"}));

    EXPECT_TRUE(CopyFolder(root + L"copy\\", source));
    EXPECT_EQ(ReadFileBytes(root + L"copy\\AppPath\\a.log"), "log");
    EXPECT_EQ(ReadFileBytes(root + L"copy\\Vexlo_Debug_Info.txt"), "report");
    EXPECT_FALSE(DirectoryExists(root + L"copy\\loop"));
    EXPECT_FALSE(DirectoryExists(root + L"copy\\outside"));
    const std::vector<std::wstring> words = LogWords(root + L"copy.log");
    for (const wchar_t* link : {L"loop", L"outside"}) {
        const std::wstring skipped = L"Copy skipped: " + source + link + L": a junction or symbolic link, not followed";
        EXPECT_TRUE(std::any_of(words.begin(), words.end(),
                                [&](const std::wstring& w) { return w == skipped; }))
            << "no log line for " << ToUtf8(source + link);
    }
}
