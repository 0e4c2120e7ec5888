// The main product's names, the version switch and the text rules of the
// detection, as tables of cases.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "products/product_detection.h"

namespace {

using Names = std::vector<std::wstring>;

Names AllNames(const TProductNaming& n)
{
    return {n.ProductFolderName(),       n.UninstallKeyName(),       n.PrevUninstallKeyName(),
            n.UltimateUninstallKeyName(), n.RegistryProductName(),    n.PrevRegistryProductName(),
            n.UltimateProductName(),      n.ProductServiceName(),     n.UninstallPathValueName(),
            n.PrevUninstallPathValueName(), n.AppPathFolderName()};
}

TEST(ProductNaming, EachGetterForEachVersionState)
{
    const struct {
        const wchar_t *Name, *Cur, *Prev;
        Names Expected;
    } cases[] = {
        {L"Tramblex", L"9", L"8",
         {L"Tramblex", L"Tramblex_is1", L"Tramblex 8_is1", L"Tramblex Ultimate_is1", L"Tramblex", L"Tramblex 8",
          L"Tramblex Ultimate", L"TramblexService9", L"tbxuv9uninstallpath", L"tbxuv8uninstallpath", L"TBX9AppPath"}},
        {L"Tramblex", L"8", L"7",
         {L"Tramblex V8", L"Tramblex 8_is1", L"Tramblex 7_is1", L"Tramblex Ultimate_is1", L"Tramblex 8", L"Tramblex 7",
          L"Tramblex Ultimate", L"TramblexService8", L"tbxuv8uninstallpath", L"tbxuv7uninstallpath", L"TBX8AppPath"}},
        {L"Tramblex Beta", L"9", L"8",
         {L"Tramblex Beta", L"Tramblex Beta_is1", L"Tramblex 8_is1", L"Tramblex Ultimate_is1", L"Tramblex Beta",
          L"Tramblex 8", L"Tramblex Ultimate", L"TramblexService9", L"tbxuv9uninstallpath", L"tbxuv8uninstallpath",
          L"TBX9AppPath"}},
        // Both versions new: the previous names are the main product's too.
        {L"Tramblex", L"10", L"9",
         {L"Tramblex", L"Tramblex_is1", L"Tramblex_is1", L"Tramblex Ultimate_is1", L"Tramblex", L"Tramblex",
          L"Tramblex Ultimate", L"TramblexService10", L"tbxuv10uninstallpath", L"tbxuv9uninstallpath", L"TBX10AppPath"}},
        // A version text that is no number counts as 0, i.e. old.
        {L"Tramblex", L"x", L"y",
         {L"Tramblex Vx", L"Tramblex x_is1", L"Tramblex y_is1", L"Tramblex Ultimate_is1", L"Tramblex x", L"Tramblex y",
          L"Tramblex Ultimate", L"TramblexServicex", L"tbxuvxuninstallpath", L"tbxuvyuninstallpath", L"TBXxAppPath"}},
    };
    for (const auto& c : cases) {
        const std::wstring name = c.Name;
        EXPECT_EQ(AllNames(TProductNaming([name] { return name; }, c.Cur, c.Prev)), c.Expected)
            << c.Name << " " << c.Cur << "/" << c.Prev;
    }
}

TEST(ProductNaming, TheMainNameIsAskedOnlyWhenAVersionIsNew)
{
    int asked = 0;
    const auto mainName = [&asked] {
        ++asked;
        return std::wstring(L"Tramblex");
    };
    AllNames(TProductNaming(mainName, L"8", L"7"));
    EXPECT_EQ(asked, 0);
    TProductNaming(mainName, L"9", L"8").ProductFolderName();
    EXPECT_EQ(asked, 1);
}

TEST(ProductNaming, NewVersions)
{
    const struct {
        const wchar_t* Text;
        bool New;
    } cases[] = {{L"9", true},  {L"10", true},  {L"09", true}, {L"123", true}, {L"8", false},
                 {L"0", false}, {L"", false},   {L"x", false}, {L"9a", false}, {L"-9", false}};
    for (const auto& c : cases)
        EXPECT_EQ(IsNewVersion(c.Text), c.New) << c.Text;
}

TEST(ProductPaths, FolderPart)
{
    const struct {
        const wchar_t *Path, *Folder;
    } cases[] = {
        {L"C:\\A\\B\\x.exe", L"C:\\A\\B\\"},
        {L"C:\\A\\B\\", L"C:\\A\\B\\"},
        {L"C:\\A\\B", L"C:\\A\\"},
        {L"C:x.exe", L"C:"},
        {L"x.exe", L""},
        {L"", L""},
        // A stored service path in quotes keeps its quote: no folder of that name exists.
        {L"\"C:\\Program Files\\T\\svc.exe\" /run", L"\"C:\\Program Files\\T\\"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(FolderPart(c.Path), c.Folder) << c.Path;
}

TEST(ProductPaths, QuarantineBaseFolder)
{
    const struct {
        const wchar_t *Quarantine, *Base;
    } cases[] = {
        {L"D:\\Data\\AntiVirus\\BackupRec", L"D:\\Data\\"},
        {L"D:\\Data\\antivirus\\bakcuprec", L"D:\\Data\\"},
        {L"D:\\Mixed Case\\ANTIVIRUS\\BACKUPREC\\", L"D:\\Mixed Case\\"},
        {L"D:\\Data\\Antivirus\\Quarantine", L""},
        {L"", L""},
        // The right spelling is looked for first, wherever it is.
        {L"C:\\a\\antivirus\\bakcuprec\\b\\antivirus\\backuprec", L"C:\\a\\antivirus\\bakcuprec\\b\\"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(QuarantineBaseFolder(c.Quarantine), c.Base) << c.Quarantine;
}

TEST(ProductPaths, NameOfAFolderSuffix)
{
    EXPECT_EQ(ProductNameOfSuffix(L"\\Vexlo\\Tramblex\\"), L"Tramblex");
    EXPECT_EQ(ProductNameOfSuffix(L"\\Vexlo\\Tramblex Beta\\"), L"Tramblex Beta");
}

}  // namespace
