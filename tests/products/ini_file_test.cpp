// The INI reader on real files of the test's prefix.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "platform/paths.h"
#include "products/ini_file.h"
#include "tests/support/test_folder.h"

namespace {

TEST(IniNumber, DecimalOrHexadecimalAfter0x)
{
    const struct {
        const wchar_t* Text;
        bool Valid;
        int32_t Value;
    } cases[] = {
        {L"1", true, 1},          {L"0", true, 0},           {L"-3", true, -3},
        {L"+7", true, 7},         {L"0x1F", true, 31},       {L"0X1f", true, 31},
        {L"0xFFFFFFFF", true, -1}, {L"-0x10", true, -16},    {L"2147483647", true, 2147483647},
        {L"-2147483648", true, INT32_MIN},
        {L"2147483648", false, 0}, {L"0x100000000", false, 0}, {L"", false, 0},
        {L"abc", false, 0},       {L"1a", false, 0},         {L"0x", false, 0},
        {L"0xG", false, 0},       {L"-", false, 0},          {L"1 2", false, 0},
    };
    for (const auto& c : cases) {
        const auto number = ParseIniNumber(c.Text);
        EXPECT_EQ(number.has_value(), c.Valid) << c.Text;
        if (number && c.Valid) {
            EXPECT_EQ(*number, c.Value) << c.Text;
        }
    }
}

TEST(IniFileName, ANameWithoutAFolderIsTakenFromTheCurrentOne)
{
    const struct {
        const wchar_t *Name, *Given;
    } cases[] = {
        {L"Update.ini", L".\\Update.ini"},
        {L"\\Update.ini", L".\\\\Update.ini"},
        {L"\\\\Update.ini", L".\\\\\\Update.ini"},
        {L"C:\\P\\Update\\Update.ini", L"C:\\P\\Update\\Update.ini"},
        {L"sub\\Update.ini", L"sub\\Update.ini"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(IniFileNameFor(c.Name), c.Given) << c.Name;
}

class IniFileTest : public testing::Test {
protected:
    void Write(const std::wstring& name, const std::string& text) { WriteFileBytes(F / name, text); }
    TTestFolder F;
};

TEST_F(IniFileTest, TextsOfAnyLengthAndTheDefaults)
{
    const std::string longValue(5000, 'q');
    Write(L"AntivirusConfig.ini", "[Antivirus]\r\nQuarantinePath=D:\\Data\\AntiVirus\\BackupRec\r\nLong=" + longValue +
                                      "\r\nEmpty=\r\n");
    const TIniFile ini(F / L"AntivirusConfig.ini");
    EXPECT_EQ(ini.IniReadText(L"Antivirus", L"QuarantinePath", L"dflt"), L"D:\\Data\\AntiVirus\\BackupRec");
    EXPECT_EQ(ini.IniReadText(L"Antivirus", L"Long", L""), std::wstring(5000, L'q'));
    EXPECT_EQ(ini.IniReadText(L"Antivirus", L"Empty", L"dflt"), L"");
    EXPECT_EQ(ini.IniReadText(L"Antivirus", L"Missing", L"dflt"), L"dflt");
    EXPECT_EQ(ini.IniReadText(L"Nowhere", L"QuarantinePath", L""), L"");
    EXPECT_EQ(TIniFile(F / L"missing.ini").IniReadText(L"Antivirus", L"QuarantinePath", L"dflt"), L"dflt");

    // Exactly at the first buffer's edge and one past it.
    Write(L"edge.ini", "[s]\r\na=" + std::string(2047, 'e') + "\r\nb=" + std::string(2048, 'f') + "\r\n");
    EXPECT_EQ(TIniFile(F / L"edge.ini").IniReadText(L"s", L"a", L"").size(), 2047u);
    EXPECT_EQ(TIniFile(F / L"edge.ini").IniReadText(L"s", L"b", L"").size(), 2048u);
}

TEST_F(IniFileTest, NumbersAndTheirDefault)
{
    Write(L"Update.ini", "[Beta]\r\nValue=1\r\nHex=0x1F\r\nNegative=-3\r\nWord=abc\r\nEmpty=\r\n");
    const TIniFile ini(F / L"Update.ini");
    EXPECT_EQ(ini.IniReadNumber(L"Beta", L"Value", 0), 1);
    EXPECT_EQ(ini.IniReadNumber(L"Beta", L"Hex", 0), 31);
    EXPECT_EQ(ini.IniReadNumber(L"Beta", L"Negative", 0), -3);
    EXPECT_EQ(ini.IniReadNumber(L"Beta", L"Word", 7), 7);
    EXPECT_EQ(ini.IniReadNumber(L"Beta", L"Empty", 7), 7);
    EXPECT_EQ(ini.IniReadNumber(L"Beta", L"Missing", -1), -1);
}

TEST_F(IniFileTest, ReadingChangesNothing)
{
    Write(L"ro.ini", "[Beta]\r\nValue=2\r\n");
    ASSERT_TRUE(SetFileAttributesW((F / L"ro.ini").c_str(), FILE_ATTRIBUTE_READONLY));
    EXPECT_EQ(TIniFile(F / L"ro.ini").IniReadNumber(L"Beta", L"Value", 0), 2);
    EXPECT_TRUE(GetFileAttributesW((F / L"ro.ini").c_str()) & FILE_ATTRIBUTE_READONLY);
    SetFileAttributesW((F / L"ro.ini").c_str(), FILE_ATTRIBUTE_NORMAL);

    EXPECT_EQ(TIniFile(F / L"no\\such\\folder\\x.ini").IniReadText(L"a", L"b", L"d"), L"d");
    EXPECT_FALSE(DirectoryExists(F / L"no"));
}

TEST_F(IniFileTest, ABareNameIsReadFromTheCurrentFolder)
{
    Write(L"vexlo-bare.ini", "[s]\r\nk=here\r\n");
    wchar_t previous[MAX_PATH] = {};
    GetCurrentDirectoryW(MAX_PATH, previous);
    ASSERT_TRUE(SetCurrentDirectoryW(F.Path().c_str()));
    const std::wstring text = TIniFile(L"vexlo-bare.ini").IniReadText(L"s", L"k", L"not found");
    SetCurrentDirectoryW(previous);
    EXPECT_EQ(text, L"here");
}

}  // namespace
