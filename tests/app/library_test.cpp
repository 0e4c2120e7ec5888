#include <gtest/gtest.h>

#include <windows.h>
#include <shellapi.h>

#include <algorithm>
#include <thread>
#include <vector>

#include "app/gathering_driver.h"
#include "app/run_lock.h"
#include "products/product_mode.h"
#include "platform/handles.h"
#include "platform/paths.h"
#include "platform/modules.h"
#include "tests/support/test_folder.h"

namespace {

using SetLogFn = void(WINAPI*)(const wchar_t*);
using GatherFn = DWORD(WINAPI*)(HWND, int, wchar_t*, DWORD);

std::wstring ExeFolder()
{
    const std::wstring module = GetModuleName();
    return module.substr(0, module.find_last_of(L'\\') + 1);
}

// The product named after "/Product" on this program's command line, if any.
std::wstring ProductArgument()
{
    int count = 0;
    LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &count);
    std::wstring name;
    for (int i = 1; i + 1 < count; ++i)
        if (_wcsicmp(argv[i], L"/Product") == 0)
            name = argv[i + 1];
    LocalFree(argv);
    return name;
}


struct Expectation {
    const wchar_t* product;
    int steps;
    bool gatherFolderKept;
    bool otherInfo, tbx, gdx;
};

}  // namespace

TEST(LibraryBuild, TheProductSwitchSelectsTheSteps)
{
    // No Tramblex Ultimate here, so any other name means the main product.
    const Expectation table[] = {
        {L"", 17, true, true, true, true},
        {L"Clarvix", 14, false, false, false, false},
        {L"Mervalo", 14, false, false, false, false},
        {L"Grendax", 15, false, false, false, true},
        {L"Tramblex", 15, false, false, true, false},
    };
    const std::wstring product = ProductArgument();
    const auto* expected = std::find_if(std::begin(table), std::end(table),
                                        [&](const Expectation& e) { return _wcsicmp(e.product, product.c_str()) == 0; });
    ASSERT_NE(expected, std::end(table));

    UniqueModule library(LoadLibraryW((ExeFolder() + L"..\\VexloGatherLib.dll").c_str()));
    ASSERT_TRUE(library);
    const auto setLog = reinterpret_cast<SetLogFn>(reinterpret_cast<void*>(GetProcAddress(library.get(), "GatherSetLogFile")));
    const auto gather = reinterpret_cast<GatherFn>(reinterpret_cast<void*>(GetProcAddress(library.get(), "GatherInfo")));
    ASSERT_TRUE(setLog && gather);

    TTestFolder dir;
    setLog((dir / L"lib.log").c_str());
    const HWND wnd = CreateMessageWindow();
    ASSERT_NE(wnd, nullptr);
    wchar_t archive[MAX_PATH] = {};
    ASSERT_GT(gather(wnd, 0, archive, MAX_PATH), 0u);

    int steps = 0;
    MSG msg;
    while (PeekMessageW(&msg, wnd, WM_GENINFO, WM_GENINFO, PM_REMOVE)) {
        if (msg.wParam == 1) {
            EXPECT_EQ(msg.lParam, ++steps);
        }
    }
    DestroyWindow(wnd);
    EXPECT_EQ(steps, expected->steps);

    // The archive is made in every mode; a product's run leaves no gather folder.
    EXPECT_TRUE(FileExists(archive));
    const std::wstring gatherFolder = ParentFolder(archive) + L"GetInfoDir";
    EXPECT_EQ(DirectoryExists(gatherFolder), expected->gatherFolderKept);

    const auto words = LogWords(dir / L"lib.log");
    const auto has = [&](const wchar_t* word) { return std::find(words.begin(), words.end(), word) != words.end(); };
    EXPECT_EQ(has(L"LoadOtherInfo Succ"), expected->otherInfo);
    EXPECT_EQ(has(L"LoadOnlyForVireRuriTool Succ"), expected->otherInfo);
    EXPECT_EQ(has(L"GenTBXLogFiles Succ"), expected->tbx);
    EXPECT_EQ(has(L"GenGDXLogFiles Succ"), expected->gdx);
    EXPECT_TRUE(has(L"ZipFile Succ"));
}

// The executable ignores the switch: it always collects everything.
TEST(LibraryBuild, TheExecutableIgnoresTheSwitch)
{
    EXPECT_EQ(GetProductMode(), pmAll);
}

// A second call while a gathering of the session runs gets the busy answer.
TEST(LibraryBuild, ASecondGatheringOfTheSessionGetsTheBusyAnswer)
{
    UniqueModule library(LoadLibraryW((ExeFolder() + L"..\\VexloGatherLib.dll").c_str()));
    ASSERT_TRUE(library);
    const auto gather = reinterpret_cast<GatherFn>(reinterpret_cast<void*>(GetProcAddress(library.get(), "GatherInfo")));
    ASSERT_TRUE(gather);
    // Another thread holds the lock, as a running gathering would.
    UniqueHandle held(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    UniqueHandle release(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    std::thread holder([&] {
        const TRunLock lock;
        if (lock.Acquired())
            SetEvent(held.get());
        WaitForSingleObject(release.get(), 60000);
    });
    ASSERT_EQ(WaitForSingleObject(held.get(), 60000), WAIT_OBJECT_0);
    wchar_t archive[MAX_PATH] = {};
    EXPECT_EQ(gather(nullptr, 0, archive, MAX_PATH), 0xFFFFFFFFu);
    EXPECT_EQ(archive[0], L'\0');
    SetEvent(release.get());
    holder.join();
}
