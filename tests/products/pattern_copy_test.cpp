// The pattern copier's plain parts as tables: the folder variables, relative
// paths, targets below the gather folder, the prefix maps and the size limit.
#include <gtest/gtest.h>

#include <optional>
#include <stdexcept>
#include <string>

#include "platform/handles.h"
#include "platform/text.h"
#include "products/log_collection.h"
#include "products/pattern_copy.h"
#include "products/product_file_lists.h"
#include "tests/support/test_folder.h"

namespace {

TFolderValues Values()
{
    TFolderValues values;
    values.AppPath = L"C:\\P\\Tramblex\\";
    values.AppData = L"C:\\U\\AppData\\Roaming";
    values.ProgramData = L"C:\\ProgramData";
    values.Windows = L"C:\\windows";
    values.ProgramFilesX86 = L"C:\\Program Files (x86)";
    values.ProductFolder = L"Tramblex";
    return values;
}

}  // namespace

TEST(FolderVariables, EachVariableWithItsBaseAndTargetRoot)
{
    const struct {
        const wchar_t* Pattern;
        const wchar_t* Source;
        const wchar_t* Base;
        const wchar_t* Root;
    } cases[] = {
        {L"%AppPath%\\*.log", L"C:\\P\\Tramblex\\*.log", L"C:\\P\\Tramblex\\", L"AppPath\\"},
        {L"%AppData%\\vexlo\\Tramblex\\*.ini", L"C:\\U\\AppData\\Roaming\\vexlo\\Tramblex\\*.ini",
         L"C:\\U\\AppData\\Roaming\\vexlo\\Tramblex\\", L"AppData\\"},
        {L"%ProgramData%\\Vexlo\\LocalSkip.ini", L"C:\\ProgramData\\Vexlo\\LocalSkip.ini",
         L"C:\\ProgramData\\vexlo\\Tramblex\\", L"ProgramData\\"},
        {L"%Minidump%\\*.dmp", L"C:\\windows\\Minidump\\*.dmp", L"C:\\windows\\Minidump\\", L"Minidump\\"},
        {L"%ProgramFilesX86%\\Vexlo\\Fetchwell\\*.log", L"C:\\Program Files (x86)\\Vexlo\\Fetchwell\\*.log",
         L"C:\\Program Files (x86)\\Vexlo\\", L"Program Files(x86)\\"},
        // Recognised without regard to letter case, replaced where spelled as the variable is.
        {L"%APPPATH%\\x.txt", L"%APPPATH%\\x.txt", L"C:\\P\\Tramblex\\", L"AppPath\\"},
        {L"%AppPath%\\%AppPath%.txt", L"C:\\P\\Tramblex\\C:\\P\\Tramblex.txt", L"C:\\P\\Tramblex\\", L"AppPath\\"},
    };
    for (const auto& c : cases) {
        const std::optional<TPatternSource> source = ExpandFolderVariable(c.Pattern, Values());
        ASSERT_TRUE(source.has_value()) << c.Pattern;
        EXPECT_EQ(source->Source, c.Source) << c.Pattern;
        EXPECT_EQ(source->Base, c.Base) << c.Pattern;
        EXPECT_EQ(source->TargetRoot, c.Root) << c.Pattern;
    }

    TFolderValues after = Values();
    after.ProductFolder = L"Tramblex V8";
    EXPECT_EQ(ExpandFolderVariable(L"%AppData%\\x", after)->Base, L"C:\\U\\AppData\\Roaming\\vexlo\\Tramblex V8\\");
}

TEST(FolderVariables, UnknownFoldersAndPatternsWithoutAVariable)
{
    EXPECT_FALSE(ExpandFolderVariable(L"C:\\P\\*.log", Values()));
    EXPECT_FALSE(ExpandFolderVariable(L"\\%AppPath%\\*.log", Values()));
    EXPECT_FALSE(ExpandFolderVariable(L"%Temp%\\*.log", Values()));
    const struct {
        std::wstring TFolderValues::*Field;
        const wchar_t* Pattern;
    } unknown[] = {
        {&TFolderValues::AppPath, L"%AppPath%\\*.log"},
        {&TFolderValues::AppData, L"%AppData%\\vexlo\\Tramblex\\*.ini"},
        {&TFolderValues::ProgramData, L"%ProgramData%\\Vexlo\\LocalSkip.ini"},
        {&TFolderValues::Windows, L"%Minidump%\\*.dmp"},
        {&TFolderValues::ProgramFilesX86, L"%ProgramFilesX86%\\Vexlo\\Fetchwell\\*.log"},
    };
    for (const auto& c : unknown) {
        TFolderValues values = Values();
        values.*c.Field = L"";
        EXPECT_FALSE(ExpandFolderVariable(c.Pattern, values)) << c.Pattern;
    }
}

TEST(RelativePathText, Table)
{
    const struct {
        const wchar_t* Base;
        const wchar_t* File;
        const wchar_t* Relative;
    } cases[] = {
        {L"C:\\ProgramData\\vexlo\\Tramblex\\", L"C:\\ProgramData\\Vexlo\\Tramblex\\Log\\a.log", L"Log\\a.log"},
        {L"C:\\ProgramData\\vexlo\\Tramblex\\", L"C:\\ProgramData\\Vexlo\\LocalSkip.ini", L"..\\LocalSkip.ini"},
        {L"C:\\ProgramData\\vexlo\\Tramblex\\", L"C:\\ProgramData\\Vexlo\\TBXDownloader\\d.log",
         L"..\\TBXDownloader\\d.log"},
        {L"C:\\P\\Tramblex\\", L"C:\\P\\Tramblex\\a.log", L"a.log"},
        {L"C:\\P\\Tramblex\\", L"c:\\p\\TRAMBLEX\\Update\\u.ini", L"Update\\u.ini"},
        {L"C:\\A\\B\\C\\", L"C:\\X\\y.txt", L"..\\..\\..\\X\\y.txt"},
        {L"C:\\P\\Tramblex\\", L"D:\\P\\Tramblex\\a.log", L"D:\\P\\Tramblex\\a.log"},
        {L"\\\\server\\share\\base\\", L"\\\\SERVER\\share\\base\\in\\f.txt", L"in\\f.txt"},
        {L"C:\\A\\B", L"C:\\A\\f.txt", L"f.txt"},  // a base without its backslash names the folder it is in
    };
    for (const auto& c : cases)
        EXPECT_EQ(RelativePath(c.Base, c.File), c.Relative) << c.Base << L" | " << c.File;
}

TEST(GatherTargetText, ResolvedAndNeverOutsideTheGatherFolder)
{
    const std::wstring g = L"C:\\T\\GetInfoDir\\";
    const struct {
        const wchar_t* Root;
        const wchar_t* Relative;
        std::wstring Target;
    } cases[] = {
        {L"AppPath\\", L"a.log", g + L"AppPath\\a.log"},
        {L"ProgramData\\", L"..\\LocalSkip.ini", g + L"LocalSkip.ini"},
        {L"ProgramData\\", L"..\\TBXDownloader\\d.log", g + L"TBXDownloader\\d.log"},
        {L"OtherInfo\\BDLogging\\", L"a\\b\\c.log", g + L"OtherInfo\\BDLogging\\a\\b\\c.log"},
        {L"AppData\\", L"Log\\con", g + L"AppData\\Log\\con"},  // a name like a device stays a file name
        {L"AppData\\", L"..\\..\\outside.txt", L""},
        {L"AppPath\\", L"D:\\P\\a.log", L""},
        {L"AppPath\\", L"\\\\server\\share\\a.log", L""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(GatherTarget(g, c.Root, c.Relative), c.Target) << c.Root << c.Relative;
}

TEST(PrefixMap, FirstMatchingRowWithLetterCaseAsWritten)
{
    const TPrefixMap map{
        {L"", L"Empty\\"},
        {L"C:\\P\\Tramblex\\", L"TBX9AppPath\\"},
        {L"C:\\U\\Vexlo\\Tramblex\\", L"AppData\\"},
        {L"C:\\P\\", L"Later\\"},
    };
    const struct {
        const wchar_t* Path;
        const wchar_t* Mapped;
    } cases[] = {
        {L"C:\\P\\Tramblex\\Update\\u.ini", L"TBX9AppPath\\Update\\u.ini"},
        {L"C:\\U\\Vexlo\\Tramblex\\Log\\l.txt", L"AppData\\Log\\l.txt"},
        {L"C:\\P\\other.txt", L"Later\\other.txt"},
        {L"C:\\p\\tramblex\\a.log", L""},  // another letter case is another prefix
        {L"D:\\elsewhere\\x.txt", L""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(MapToGather(c.Path, map), c.Mapped) << c.Path;
}

TEST(OtherInfoLimit, WholeMebibytesOverTheLimit)
{
    const struct {
        unsigned long long Bytes;
        int Limit;
        bool Over;
    } cases[] = {
        {0, 0, false},          {5ull << 30, 0, false},          {(2ull << 20) - 1, 1, false},
        {2ull << 20, 1, true},  {(3ull << 20) - 1, 2, false},    {3ull << 20, 2, true},
        {1, -1, true},
    };
    for (const auto& c : cases)
        EXPECT_EQ(OverSizeLimit(c.Bytes, c.Limit), c.Over) << c.Bytes << " " << c.Limit;
}

TEST(LoadLogTable, FortyThreeRowsWithTheProductFolderWhereTheyNameIt)
{
    const std::vector<TLogRow>& rows = LoadLogRows();
    ASSERT_EQ(rows.size(), 43u);
    EXPECT_EQ(rows[0].Pattern(L"N"), L"%AppPath%\\*.log");
    EXPECT_EQ(rows[6].Pattern(L"Tramblex V8"), L"%ProgramData%\\Vexlo\\Tramblex V8\\*.dat");
    EXPECT_EQ(rows[20].Pattern(L"Tramblex"), L"%AppData%\\vexlo\\Tramblex\\*.ini");
    EXPECT_EQ(rows[42].Pattern(L"N"), L"%Minidump%\\*.dmp");
    int named = 0;
    for (const TLogRow& row : rows)
        named += row.NamesProductFolder() ? 1 : 0;
    EXPECT_EQ(named, 23);
}

// A file held open without read sharing cannot be copied: it is named with the
// reason. A file that is gone, or whose copy is kept on purpose, is not.
TEST(CopyFailures, NamesWhatExistsAndCannotBeCopied)
{
    TTestFolder dir;
    WriteFileBytes(dir / L"held.log", "held");
    WriteFileBytes(dir / L"free.log", "free");
    ASSERT_TRUE(ForceDirectories(dir / L"gather"));
    WriteFileBytes(dir / L"gather\\kept.log", "earlier copy");
    const UniqueFile held(CreateFileW((dir / L"held.log").c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(held);

    TCopyFailures failures;
    EXPECT_FALSE(CopyIntoGather(dir / L"held.log", dir / L"gather\\held.log", true, &failures));
    EXPECT_TRUE(CopyIntoGather(dir / L"free.log", dir / L"gather\\sub\\free.log", true, &failures));
    EXPECT_FALSE(CopyIntoGather(dir / L"gone.log", dir / L"gather\\gone.log", true, &failures));
    EXPECT_FALSE(CopyIntoGather(dir / L"free.log", dir / L"gather\\kept.log", false, &failures));
    EXPECT_EQ(ReadFileBytes(dir / L"gather\\sub\\free.log"), "free");
    EXPECT_EQ(ReadFileBytes(dir / L"gather\\kept.log"), "earlier copy");

    ASSERT_FALSE(failures.Empty());
    const std::wstring text = failures.Text();
    EXPECT_EQ(text.rfind(L"not copied: " + dir / L"held.log: ", 0), 0u) << ToUtf8(text);
    EXPECT_EQ(text.find(L"; "), std::wstring::npos) << "only the held file is named: " << ToUtf8(text);
    EXPECT_THROW(failures.RaiseIfAny(), std::runtime_error);
    EXPECT_NO_THROW(TCopyFailures().RaiseIfAny());
}
