// The scheduled tasks listing with a stand-in schtasks in both system folders
// of the test's prefix (Wine's own prints nothing). The stand-in answers the
// CSV query from files of the test and prints, for a task's details, which
// program ran (its path shows whether the i686 build took the 32-bit system
// folder) and the console code page value in force.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/handles.h"
#include "sections/scheduled_tasks.h"
#include "tests/sections/standin_programs.h"

namespace {

using Lines = std::vector<std::wstring>;

const std::string Header = "\"TaskName\",\"Next Run Time\",\"Status\"\r\n";

std::string Row(const std::string& path)
{
    return "\"" + path + "\",\"N/A\",\"Ready\"";
}

std::wstring Program()
{
    return OwnKindSystemFolder() + L"schtasks.exe";
}

// The details the stand-in prints for a task (the last line has no CR).
Lines Details(const std::wstring& name, const std::wstring& codePage)
{
    return {L"", L"HostName: " + Program(), L"TaskName: \\" + name, L"CodePage: " + codePage};
}

std::wstring CsvStart()
{
    return Program() + L"|/query|/FO|csv";
}

std::wstring DetailStart(const std::wstring& name)
{
    return Program() + L"|/query|/V|/TN|" + name + L"|/FO|list";
}

Lines Join(std::initializer_list<Lines> parts)
{
    Lines all;
    for (const auto& part : parts)
        all.insert(all.end(), part.begin(), part.end());
    return all;
}

// The console value: its DWORD, or nothing when absent.
class TConsoleValue {
public:
    TConsoleValue()
    {
        EXPECT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, ConsoleKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, FKey.put(),
                                  nullptr),
                  ERROR_SUCCESS);
    }
    void Delete() { RegDeleteValueW(FKey.get(), CodePageValue); }
    void Set(DWORD value)
    {
        RegSetValueExW(FKey.get(), CodePageValue, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof(value));
    }
    void SetText(const std::wstring& text)
    {
        RegSetValueExW(FKey.get(), CodePageValue, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                       static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
    }
    // "absent", the number, or "sz:<text>" for a string.
    std::wstring State() const
    {
        DWORD type = REG_NONE;
        BYTE data[64] = {};
        DWORD size = sizeof(data);
        const LONG rc = RegQueryValueExW(FKey.get(), CodePageValue, nullptr, &type, data, &size);
        if (rc == ERROR_FILE_NOT_FOUND)
            return L"absent";
        if (type == REG_DWORD)
            return std::to_wstring(*reinterpret_cast<const DWORD*>(data));
        return L"sz:" + std::wstring(reinterpret_cast<const wchar_t*>(data));
    }

private:
    UniqueKey FKey;
};

class TaskListing : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ASSERT_TRUE(InstallSystemProgram(L"schtasks_standin.exe", L"schtasks.exe")); }
    void SetUp() override
    {
        ASSERT_EQ(GetACP(), 1252u) << "the fixtures are written in code page 1252";
        FConsole.Delete();
    }

    Lines Collect(DWORD timeoutMs = TaskQueryTimeoutMs)
    {
        Lines lines;
        FUnfinished = CollectTaskLines(lines, timeoutMs);
        return lines;
    }

    TStandinFolder FStandins;
    TConsoleValue FConsole;
    std::vector<std::wstring> FUnfinished;  // of the last Collect()
};

}  // namespace

// ---------------------------------------------------------------------------
// The CSV answer

TEST(RootTaskNames, Table)
{
    const struct {
        const char* what;
        Lines csv;
        Lines names;
    } cases[] = {
        {"nothing", {}, {}},
        {"header alone", {L"\"TaskName\",\"Next Run Time\",\"Status\""}, {}},
        {"root tasks in order", {L"h", L"\"\\A\",\"N/A\",\"Ready\"", L"\"\\B c\",\"x\",\"y\""}, {L"A", L"B c"}},
        {"the first line is always skipped", {L"\"\\Skipped\",\"x\"", L"\"\\A\",\"x\""}, {L"A"}},
        {"duplicates in other case once, first spelling kept",
         {L"h", L"\"\\Update\",\"x\"", L"\"\\UPDATE\",\"x\"", L"\"\\update\",\"x\""},
         {L"Update"}},
        {"a sub-folder task ends the list", {L"h", L"\"\\A\",\"x\"", L"\"\\F\\S\",\"x\"", L"\"\\B\",\"x\""}, {L"A"}},
        {"a repeated header ends the list", {L"h", L"\"\\A\",\"x\"", L"\"TaskName\",\"Next\"", L"\"\\B\""}, {L"A"}},
        {"a message ends the list", {L"h", L"INFO: no tasks", L"\"\\A\",\"x\""}, {}},
        {"no closing quote ends the list", {L"h", L"\"\\A\",\"x\"", L"\"\\Open", L"\"\\B\",\"x\""}, {L"A"}},
        {"an empty line ends the list", {L"h", L"", L"\"\\A\",\"x\""}, {}},
    };
    for (const auto& c : cases) {
        Lines names;
        AddRootTaskNames(c.csv, names);
        EXPECT_EQ(names, c.names) << c.what;
    }
    Lines names{L"Known"};
    AddRootTaskNames({L"h", L"\"\\KNOWN\",\"x\"", L"\"\\New\",\"x\""}, names);
    EXPECT_EQ(names, (Lines{L"Known", L"New"})) << "names already listed";
}

TEST(TaskFile, AnsiLinesEndingInCrLf)
{
    ASSERT_EQ(GetACP(), 1252u);
    EXPECT_EQ(AnsiFileBytes({}), "");
    EXPECT_EQ(AnsiFileBytes({L"", L"Caf\u00E9 \u20AC"}), "\r\nCaf\xE9 \x80\r\n");
}

// ---------------------------------------------------------------------------
// Whole listings

TEST_F(TaskListing, RootTasksOnceEachUpToTheFirstSubFolderTask)
{
    FStandins.Put(L"csv.txt", Header + Row("\\Alpha") + "\r\n" + Row("\\Caf\xE9") + "\r\n" + Row("\\ALPHA") + "\r\n" +
                                  Row("\\Beta") + "\r\n" + Row("\\Folder\\Sub") + "\r\n" + Row("\\Gamma") + "\r\n");
    EXPECT_EQ(Collect(), Join({Details(L"Alpha", L"absent"), Details(L"Caf\u00E9", L"absent"),
                               Details(L"Beta", L"absent")}));
    EXPECT_EQ(FStandins.Starts(L"schtasks"),
              (Lines{CsvStart(), DetailStart(L"Alpha"), DetailStart(L"Caf\u00E9"), DetailStart(L"Beta")}));
    EXPECT_EQ(FConsole.State(), L"absent");
    EXPECT_TRUE(FUnfinished.empty());
}

TEST_F(TaskListing, EnumTasksWritesTheDetailsInAnsi)
{
    FStandins.Put(L"csv.txt", Header + Row("\\Caf\xE9") + "\r\n");
    TTestFolder folder;
    EnumTasks(folder / L"task.txt");
    const std::string program = ToCodePage(Program(), 1252);
    EXPECT_EQ(ReadFileBytes(folder / L"task.txt"),
              "\r\nHostName: " + program + "\r\nTaskName: \\Caf\xE9\r\nCodePage: absent\r\n");
}

// The first answer has no names; under code page 437 the answer's last line
// has no CR and is a task all the same.
TEST_F(TaskListing, EmptyFirstAnswerRetriesUnderCodePage437ThenDeletesTheValue)
{
    FStandins.Put(L"csv-437.txt", Header + Row("\\Delta"));
    EXPECT_EQ(Collect(), Details(L"Delta", L"437"));
    EXPECT_EQ(FStandins.Starts(L"schtasks"), (Lines{CsvStart(), CsvStart(), DetailStart(L"Delta")}));
    EXPECT_EQ(FConsole.State(), L"absent");
}

// Without the console's key the value is written in a key made for it: both
// that key and "Console" above it (when the run made it) are gone afterwards.
TEST_F(TaskListing, KeysMadeForTheCodePageAreDeletedAgain)
{
    const auto exists = [](const wchar_t* path) {
        UniqueKey key;
        return RegOpenKeyExW(HKEY_CURRENT_USER, path, 0, KEY_READ, key.put()) == ERROR_SUCCESS;
    };
    ASSERT_EQ(RegDeleteKeyW(HKEY_CURRENT_USER, ConsoleKey), ERROR_SUCCESS);
    RegDeleteKeyW(HKEY_CURRENT_USER, ConsoleParentKey);  // stays when it holds other keys
    const bool parentBefore = exists(ConsoleParentKey);
    FStandins.Put(L"csv-437.txt", Header + Row("\\Delta"));
    EXPECT_EQ(Collect(), Details(L"Delta", L"437"));
    EXPECT_FALSE(exists(ConsoleKey));
    EXPECT_EQ(exists(ConsoleParentKey), parentBefore);
}

TEST_F(TaskListing, EmptyFirstAnswerPutsAnOldCodePageBack)
{
    FConsole.Set(850);
    FStandins.Put(L"csv-437.txt", Header + Row("\\Delta") + "\r\n");
    EXPECT_EQ(Collect(), Details(L"Delta", L"437"));
    EXPECT_EQ(FConsole.State(), L"850");
}

TEST_F(TaskListing, CodePageAlready437IsLeftAndTheQueryStillRepeated)
{
    FConsole.Set(437);
    EXPECT_EQ(Collect(), Lines{});
    EXPECT_EQ(FStandins.Starts(L"schtasks"), (Lines{CsvStart(), CsvStart()}));
    EXPECT_EQ(FConsole.State(), L"437");
}

TEST_F(TaskListing, OnlySubFolderTasksGiveAnEmptyFile)
{
    FConsole.Set(850);
    FStandins.Put(L"csv.txt", Header + Row("\\Microsoft\\Windows\\Defrag") + "\r\n");
    TTestFolder folder;
    EnumTasks(folder / L"task.txt");
    EXPECT_EQ(ReadFileBytes(folder / L"task.txt"), "");
    EXPECT_EQ(FStandins.Starts(L"schtasks"), (Lines{CsvStart(), CsvStart()}));
    EXPECT_EQ(FConsole.State(), L"850");
}

TEST_F(TaskListing, UnreadableCodePageEndsTheListingUntouched)
{
    FConsole.SetText(L"oem");
    EXPECT_EQ(Collect(), Lines{});
    EXPECT_EQ(FStandins.Starts(L"schtasks"), (Lines{CsvStart()}));
    EXPECT_EQ(FConsole.State(), L"sz:oem");
}

// The repeated query never answers: it is ended at the bound with the
// program it ran, and the console value is put back all the same.
TEST_F(TaskListing, QueryThatHangsIsEndedAndTheCodePagePutBack)
{
    FConsole.Set(850);
    FStandins.Put(L"csv-437.hang", "");
    EXPECT_EQ(Collect(20000), Lines{});
    EXPECT_EQ(FUnfinished, (std::vector<std::wstring>{L"/query /FO csv"})) << "the repeated listing was ended";
    EXPECT_EQ(UnfinishedQueriesText(FUnfinished, 20000),
              L"schtasks did not finish within 20 seconds and was ended: /query /FO csv");
    EXPECT_EQ(FConsole.State(), L"850");
    const std::string pid = ReadFileBytes(FStandins / L"csv-437.hang");
    ASSERT_FALSE(pid.empty()) << "the stand-in did not start";
    const UniqueHandle process(OpenProcess(SYNCHRONIZE, FALSE, static_cast<DWORD>(std::stoul(pid))));
    EXPECT_TRUE(!process || WaitForSingleObject(process.get(), 10000) == WAIT_OBJECT_0);
}
