#include <gtest/gtest.h>

#include "platform/paths.h"

TEST(Paths, TrailingBackslashAndParent)
{
    EXPECT_EQ(IncludeTrailingBackslash(L""), L"\\");
    EXPECT_EQ(IncludeTrailingBackslash(L"C:\\a"), L"C:\\a\\");
    EXPECT_EQ(IncludeTrailingBackslash(L"C:\\a\\"), L"C:\\a\\");
    EXPECT_EQ(ExcludeTrailingBackslash(L"C:\\a\\"), L"C:\\a");
    EXPECT_EQ(ParentFolder(L"C:\\Temp\\GetInfoDir\\"), L"C:\\Temp\\");
    EXPECT_EQ(ParentFolder(L"C:\\Temp\\x.log"), L"C:\\Temp\\");
    EXPECT_EQ(ParentFolder(L"x.log"), L"");
}

