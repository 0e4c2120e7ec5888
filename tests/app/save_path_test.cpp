#include <gtest/gtest.h>

#include "app/save_path.h"

TEST(SavePath, TheProcessUsersFolderBecomesTheLoggedOnUsers)
{
    const struct {
        const wchar_t* path;
        const wchar_t* logUser;
        const wchar_t* procUser;
        const wchar_t* expected;
    } cases[] = {
        {L"C:\\Users\\admin\\Desktop", L"anna", L"admin", L"C:\\Users\\anna\\Desktop"},
        {L"C:\\Users\\ADMIN\\Desktop", L"anna", L"Admin", L"C:\\Users\\anna\\Desktop"},
        {L"C:\\Users\\administrator\\Desktop", L"anna", L"admin", L"C:\\Users\\administrator\\Desktop"},
        {L"C:\\Users\\admin.PC\\Desktop", L"anna", L"admin", L"C:\\Users\\admin.PC\\Desktop"},
        {L"C:\\x\\admin\\admin\\y", L"anna", L"admin", L"C:\\x\\anna\\admin\\y"},  // matches do not overlap
        {L"C:\\Users\\admin\\Desktop", L"", L"admin", L"C:\\Users\\admin\\Desktop"},
        {L"C:\\Users\\admin\\Desktop", L"anna", L"", L"C:\\Users\\admin\\Desktop"},
        {L"C:\\Users\\Anna\\Desktop", L"anna", L"ANNA", L"C:\\Users\\Anna\\Desktop"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ReplaceUserInPath(c.path, c.logUser, c.procUser), c.expected);
}

