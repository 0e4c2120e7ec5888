// Child programs under Wine: the lines of their output, exit codes, and the
// time-out that ends a whole tree (cmd.exe and the program it started).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/child_process.h"
#include "platform/modules.h"
#include "platform/paths.h"
#include "platform/win32_error.h"
#include "tests/support/test_folder.h"

namespace {

using Lines = std::vector<std::wstring>;

std::wstring Standin()
{
    return ParentFolder(GetModuleName()) + L"child_standin.exe";
}

std::wstring Cmd()
{
    return SystemProgramPath(L"cmd.exe");
}

// cmd.exe's /c with a quoted program: the outer quotes are cmd's to strip.
std::wstring CmdRunning(const std::wstring& arguments)
{
    return L"/c \"" + ChildCommandLine(Standin(), arguments) + L"\"";
}

// True when the process of that id is gone or ends within ten seconds.
bool ProcessEnds(DWORD pid)
{
    const UniqueHandle process(OpenProcess(SYNCHRONIZE, FALSE, pid));
    return !process || WaitForSingleObject(process.get(), 10000) == WAIT_OBJECT_0;
}

DWORD ReadPid(const std::wstring& file)
{
    return static_cast<DWORD>(std::stoul(ReadFileBytes(file)));
}

}  // namespace

// ---------------------------------------------------------------------------
// Bytes to lines

struct SplitCase {
    const char* what;
    std::string bytes;
    Lines lines;
};

const SplitCase SplitCases[] = {
    {"nothing", "", {}},
    {"CR LF line ends", "a\r\nb\r\n", {L"a", L"b"}},
    {"last line without CR is kept", "a\r\nb", {L"a", L"b"}},
    {"a single line without line end", "only", {L"only"}},
    {"CR alone ends a line", "a\rb\r", {L"a", L"b"}},
    {"LF is dropped, not a line end", "a\nb\r\n", {L"ab"}},
    {"empty lines stay", "\r\n\r\nx\r\n", {L"", L"", L"x"}},
    {"CR CR gives an empty line", "a\r\r", {L"a", L""}},
    {"LF after the last CR adds nothing", "a\r\n\n", {L"a"}},
    {"bytes decoded from the code page", "caf\xE9\r\n\x80", {L"caf\u00E9", L"\u20AC"}},
};

TEST(SplitCapturedLines, Table)
{
    for (const auto& c : SplitCases)
        EXPECT_EQ(SplitCapturedLines(c.bytes, 1252), c.lines) << c.what;
}

// ---------------------------------------------------------------------------
// Real children

TEST(RunAndCapture, LinesOfTheProgramIncludingALastLineWithoutCR)
{
    Lines lines{L"kept"};
    // "one" CR LF "two" CR LF "three" (no line end)
    EXPECT_TRUE(RunAndCapture(Standin(), L"print 6F6E650D0A74776F0D0A7468726565", lines, 60000));
    EXPECT_EQ(lines, (Lines{L"kept", L"one", L"two", L"three"}));
}

TEST(RunAndCapture, ReadsMoreThanThePipeHolds)
{
    Lines lines;
    EXPECT_TRUE(RunAndCapture(Standin(), L"flood 50000", lines, 120000));
    ASSERT_EQ(lines.size(), 50000u);
    EXPECT_EQ(lines.front(), L"line 0");
    EXPECT_EQ(lines.back(), L"line 49999");
}

TEST(RunAndCapture, ThroughCmdByFullPath)
{
    Lines lines;
    EXPECT_TRUE(RunAndCapture(Cmd(), CmdRunning(L"print 78797A0D0A"), lines, 60000));
    EXPECT_EQ(lines, (Lines{L"xyz"}));
}

TEST(RunAndCapture, TimeOutEndsTheWholeTreeAndKeepsWhatWasRead)
{
    TTestFolder folder;
    const std::wstring pidFile = folder / L"pid.txt";
    Lines lines;
    EXPECT_FALSE(RunAndCapture(Cmd(), CmdRunning(L"hang \"" + pidFile + L"\""), lines, 15000));
    EXPECT_EQ(lines, (Lines{L"started"}));
    ASSERT_TRUE(FileExists(pidFile));
    EXPECT_TRUE(ProcessEnds(ReadPid(pidFile))) << "the program cmd.exe started still runs";
}

TEST(RunAndCapture, ProgramThatCannotStartRaises)
{
    Lines lines;
    TTestFolder folder;
    EXPECT_THROW(RunAndCapture(folder / L"missing.exe", L"", lines, 60000), EWin32Error);
    EXPECT_TRUE(lines.empty());
}

TEST(RunHidden, ExitCodeOfTheProgram)
{
    EXPECT_EQ(RunHidden(Standin(), L"exit 7", 60000), 7);
    EXPECT_EQ(RunHidden(Cmd(), CmdRunning(L"exit 3"), 60000), 3);
}

TEST(RunHidden, MinusOneForAMissingProgramOrAtTheBound)
{
    TTestFolder folder;
    EXPECT_EQ(RunHidden(folder / L"missing.exe", L"", 60000), -1);

    const std::wstring pidFile = folder / L"pid.txt";
    EXPECT_EQ(RunHidden(Cmd(), CmdRunning(L"hang \"" + pidFile + L"\""), 15000), -1);
    ASSERT_TRUE(FileExists(pidFile));
    EXPECT_TRUE(ProcessEnds(ReadPid(pidFile))) << "the program cmd.exe started still runs";
}
