#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "platform/RegistryClassEx.h"
#include "platform/Vexlo_Routine_New.h"

namespace {
bool Is32BitBuild()
{
    const char* arch = std::getenv("VEXLO_ARCH");
    return arch && std::string(arch) == "i686";
}
}  // namespace

// Both builds run on 64-bit Windows here: the 32-bit one as a real WOW64 process.
TEST(Wow64, ThisProcessRunsOnSixtyFourBitWindows)
{
    BOOL wow64 = FALSE;
    ASSERT_TRUE(IsWow64Process(GetCurrentProcess(), &wow64));
    EXPECT_EQ(wow64 != FALSE, Is32BitBuild());
    EXPECT_TRUE(IsWow64());
    EXPECT_TRUE(IsWow64());  // the cached answer
}

TEST(Wow64, RedirectionCanBeSwitchedOffOnlyInTheThirtyTwoBitBuild)
{
    void* old = nullptr;
    EXPECT_FALSE(DisableFsRedirection(&old));  // nothing looked up yet
    LoadWOW64Funcs();
    const bool off = DisableFsRedirection(&old);
    EXPECT_EQ(off, Is32BitBuild());
    EXPECT_EQ(RevertFsRedirection(old), Is32BitBuild());
}

TEST(FileVersion, AFileWithoutVersionDataIsUnknown)
{
    // Test programs carry no version resource.
    EXPECT_EQ(GetFileVersion(GetModuleName(), fvFileVersion), L"Unknown");
    EXPECT_EQ(GetFileVersion(L"C:\\no\\such\\file.dll", fvFileVersion), L"Unknown");
}
