#include <gtest/gtest.h>

#include "platform/privileges.h"

// The prefix's user is an administrator, as the tool's user is.
TEST(Privilege, DebugPrivilegeStaysEnabled)
{
    ASSERT_TRUE(EnablePrivilege(L"SeDebugPrivilege"));
    EXPECT_TRUE(PrivilegeEnabled(L"SeDebugPrivilege"));
    EXPECT_TRUE(EnablePrivilege(L"SeDebugPrivilege"));  // enabling again is no failure
    EXPECT_TRUE(PrivilegeEnabled(L"SeDebugPrivilege"));
}

TEST(Privilege, UnknownNames)
{
    EXPECT_FALSE(EnablePrivilege(L"SeNoSuchPrivilege"));
    EXPECT_FALSE(PrivilegeEnabled(L"SeNoSuchPrivilege"));
    EXPECT_FALSE(EnablePrivilege(L""));
}
