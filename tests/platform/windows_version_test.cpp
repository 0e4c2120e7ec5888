#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "platform/fs_redirection.h"
#include "platform/windows_version.h"

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

TEST(OSName, NameForEachVersion)
{
    const BYTE workstation = VER_NT_WORKSTATION, server = VER_NT_SERVER;
    const WORD x86 = PROCESSOR_ARCHITECTURE_INTEL, amd64 = PROCESSOR_ARCHITECTURE_AMD64;
    const DWORD nt = VER_PLATFORM_WIN32_NT;
    struct Case {
        DWORD major, minor, platform;
        BYTE product;
        WORD arch;
        const wchar_t* expected;
    };
    const Case cases[] = {
        {3, 51, nt, workstation, x86, L"Windows NT"},
        {4, 0, nt, server, x86, L"Windows NT"},
        {5, 0, nt, workstation, x86, L"Windows 2000"},
        {5, 1, nt, workstation, x86, L"Windows XP"},
        {5, 2, nt, workstation, amd64, L"Windows XP"},
        {5, 2, nt, workstation, x86, L"Windows 2003 Server"},
        {5, 2, nt, server, amd64, L"Windows 2003 Server"},
        {5, 3, nt, workstation, x86, L""},
        {6, 0, nt, workstation, x86, L"Windows Vista"},
        {6, 1, nt, workstation, amd64, L"Windows 7"},
        {6, 1, nt, server, amd64, L"Windows 7"},
        {6, 2, nt, workstation, amd64, L"Windows 8"},
        {6, 3, nt, server, amd64, L"Windows 8"},
        {6, 4, nt, workstation, amd64, L"Windows 10"},
        {6, 5, nt, workstation, amd64, L""},
        {10, 0, nt, workstation, amd64, L"Windows 10"},  // Windows 11 as well
        {10, 0, nt, server, amd64, L"Windows 10"},
        {11, 0, nt, workstation, amd64, L""},
        {2, 0, nt, workstation, x86, L""},
        {4, 10, VER_PLATFORM_WIN32_WINDOWS, 0, x86, L""},
        {10, 0, VER_PLATFORM_WIN32s, 0, x86, L""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(OSNameFor(c.major, c.minor, c.platform, c.product, c.arch), c.expected)
            << c.major << "." << c.minor << " platform " << c.platform;
}

TEST(OSName, ThisWindowsHasAName)
{
    EXPECT_EQ(GetOSName().rfind(L"Windows ", 0), 0u) << GetOSName();
    EXPECT_FALSE(IsWindows2000());
}

