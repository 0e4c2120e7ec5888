// The systeminfo capture with a stand-in systeminfo in both system folders of
// the test's prefix (Wine's own prints nothing): the output read back whatever
// its encoding, and a systeminfo that never ends, ended at the bound.
#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <vector>

#include "platform/handles.h"
#include "sections/systeminfo_capture.h"
#include "tests/sections/standin_programs.h"

namespace {

using Lines = std::vector<std::wstring>;

std::string Utf16Le(const std::wstring& text)
{
    std::string bytes;
    for (const wchar_t c : text) {
        bytes.push_back(static_cast<char>(c & 0xFF));
        bytes.push_back(static_cast<char>(c >> 8));
    }
    return bytes;
}

std::string Utf16Be(const std::wstring& text)
{
    std::string bytes;
    for (const wchar_t c : text) {
        bytes.push_back(static_cast<char>(c >> 8));
        bytes.push_back(static_cast<char>(c & 0xFF));
    }
    return bytes;
}

// Intermediate files left in the temporary folder.
Lines LeftOverFiles()
{
    wchar_t temp[MAX_PATH + 1] = {};
    GetTempPathW(MAX_PATH + 1, temp);
    Lines names;
    WIN32_FIND_DATAW found{};
    const UniqueFind find(FindFirstFileW((std::wstring(temp) + L"SystemInfo_*").c_str(), &found));
    if (find)
        do
            names.push_back(found.cFileName);
        while (FindNextFileW(find.get(), &found));
    return names;
}

// The three header lines, the first of them a date, and what follows.
void ExpectCapture(const Lines& lines, const Lines& output)
{
    ASSERT_GE(lines.size(), 3u);
    EXPECT_TRUE(std::regex_match(lines[0], std::wregex(LR"(\d\S*( \S.*)?)"))) << "capture time line";
    EXPECT_EQ(lines[1], L"");
    EXPECT_EQ(lines[2], L"===== System =====");
    EXPECT_EQ(Lines(lines.begin() + 3, lines.end()), output);
}

class Capture : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ASSERT_TRUE(InstallSystemProgram(L"systeminfo_standin.exe", L"systeminfo.exe")); }
    void SetUp() override { ASSERT_EQ(GetACP(), 1252u) << "the fixtures are written in code page 1252"; }
    void TearDown() override { EXPECT_EQ(LeftOverFiles(), Lines{}) << "intermediate file left"; }

    TStandinFolder FStandins;
};

}  // namespace

// ---------------------------------------------------------------------------
// Plain parts

TEST(TextFileLines, EncodingsAndLineEnds)
{
    const struct {
        const char* what;
        std::string bytes;
        Lines lines;
    } cases[] = {
        {"nothing", "", {}},
        {"CR LF", "a\r\nb\r\n", {L"a", L"b"}},
        {"last line without line end", "a\r\nb", {L"a", L"b"}},
        {"CR, LF and CR LF alike", "a\rb\nc\r\nd", {L"a", L"b", L"c", L"d"}},
        {"LF CR is two line ends", "a\n\rb", {L"a", L"", L"b"}},
        {"empty lines stay, the final line end adds none", "\r\na\r\n\r\n", {L"", L"a", L""}},
        {"ANSI without byte order mark", "Caf\xE9 \x80", {L"Caf\u00E9 \u20AC"}},
        {"UTF-8 with byte order mark", "\xEF\xBB\xBF" "Caf\xC3\xA9\r\n\xE2\x82\xAC", {L"Caf\u00E9", L"\u20AC"}},
        {"UTF-16LE with byte order mark", "\xFF\xFE" + Utf16Le(L"Host\r\n\u20AC\r\n"), {L"Host", L"\u20AC"}},
        {"UTF-16BE with byte order mark", "\xFE\xFF" + Utf16Be(L"Host\r\n\u20AC"), {L"Host", L"\u20AC"}},
        {"UTF-16 with an odd last byte", "\xFF\xFE" + Utf16Le(L"ab") + "x", {L"ab"}},
        {"byte order mark alone", "\xFF\xFE", {}},
    };
    ASSERT_EQ(GetACP(), 1252u);
    for (const auto& c : cases)
        EXPECT_EQ(TextFileLines(c.bytes), c.lines) << c.what;
}

TEST(SystemInfoNames, IntermediateFileAndTheLineForNoFinish)
{
    SYSTEMTIME time{};
    time.wYear = 2024;
    time.wMonth = 3;
    time.wDay = 5;
    time.wHour = 17;
    time.wMinute = 8;
    time.wSecond = 9;
    time.wMilliseconds = 12;
    EXPECT_EQ(IntermediateFileName(time), L"SystemInfo_20240305170809012.txt");
    EXPECT_EQ(NotFinishedLine(SystemInfoTimeoutMs), L"systeminfo did not finish within 300 seconds");
    EXPECT_GT(SystemInfoJoinTimeoutMs, SystemInfoTimeoutMs);
}

TEST(IsFileInUse, MissingHeldAndFree)
{
    TTestFolder folder;
    const std::wstring file = folder / L"f.txt";
    EXPECT_TRUE(IsFileInUse(file)) << "a missing file counts as in use";
    WriteFileBytes(file, "x");
    EXPECT_FALSE(IsFileInUse(file));
    {
        const UniqueFile held(CreateFileW(file.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                          OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        ASSERT_TRUE(held);
        EXPECT_TRUE(IsFileInUse(file));
    }
    EXPECT_FALSE(IsFileInUse(file));
}

// ---------------------------------------------------------------------------
// Real captures

TEST_F(Capture, AnsiOutputWithTheHeaderInFront)
{
    FStandins.Put(L"systeminfo.txt", "\r\nHost Name:                 VEXLO\r\nOS Name:                   Caf\xE9 OS\r\n");
    ExpectCapture(CaptureSystemInfo(60000),
                  {L"", L"Host Name:                 VEXLO", L"OS Name:                   Caf\u00E9 OS"});
    EXPECT_EQ(FStandins.Starts(L"systeminfo"), Lines{OwnKindSystemFolder() + L"systeminfo.exe"});
}

TEST_F(Capture, Utf16OutputAndNoOutputAtAll)
{
    FStandins.Put(L"systeminfo.txt", "\xFF\xFE" + Utf16Le(L"Host Name: \u20AC\r\n"));
    ExpectCapture(CaptureSystemInfo(60000), {L"Host Name: \u20AC"});
    FStandins.Put(L"systeminfo.txt", "");
    ExpectCapture(CaptureSystemInfo(60000), {});
}

TEST_F(Capture, SaveSystemInfoWritesTheReportFile)
{
    FStandins.Put(L"systeminfo.txt", "Host Name: VEXLO");
    TTestFolder gather;
    SaveSystemInfo(gather.Path(), 60000);
    const std::string bytes = ReadFileBytes(gather / L"SystemInfo.txt");
    ASSERT_GE(bytes.size(), 2u);
    EXPECT_EQ(bytes.substr(0, 2), "\xFF\xFE");
    const std::wstring text = FromUtf16Le(bytes, 2);
    const size_t header = text.find(L"\r\n\r\n===== System =====\r\n");
    ASSERT_NE(header, std::wstring::npos);
    EXPECT_EQ(text.substr(header), L"\r\n\r\n===== System =====\r\nHost Name: VEXLO\r\n");
}

TEST_F(Capture, SystemInfoThatNeverEndsIsEndedAtTheBound)
{
    FStandins.Put(L"systeminfo.hang", "");
    TTestFolder gather;
    SaveSystemInfo(gather.Path(), 20000);
    const std::wstring text = FromUtf16Le(ReadFileBytes(gather / L"SystemInfo.txt"), 2);
    const size_t header = text.find(L"\r\n\r\n===== System =====\r\n");
    ASSERT_NE(header, std::wstring::npos);
    EXPECT_EQ(text.substr(header), L"\r\n\r\n===== System =====\r\nsysteminfo did not finish within 20 seconds\r\n");
    EXPECT_EQ(text.find(L"\r\n"), header) << "one line before the header's empty line";

    const std::string pid = ReadFileBytes(FStandins / L"systeminfo.hang");
    ASSERT_FALSE(pid.empty()) << "the stand-in did not start";
    const UniqueHandle process(OpenProcess(SYNCHRONIZE, FALSE, static_cast<DWORD>(std::stoul(pid))));
    EXPECT_TRUE(!process || WaitForSingleObject(process.get(), 10000) == WAIT_OBJECT_0);
}
