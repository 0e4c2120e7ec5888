// Test helper: a product program that loads the gathering library from its own
// folder, as the products do, and runs one gathering with a message-only
// window. Prints every progress message as "msg <wParam> <lParam>", then the
// archive path on the last line; exits 0 when an archive was made. The
// library reads the product ("/Product <name>") from this program's command line.
#include <windows.h>

#include <cstdio>
#include <string>

#include "platform/handles.h"
#include "platform/modules.h"
#include "platform/paths.h"
#include "platform/text.h"

namespace {

constexpr UINT WM_GENINFO = 0x501;
using SetLogFn = void(WINAPI*)(const wchar_t*);
using GatherFn = DWORD(WINAPI*)(HWND, int, wchar_t*, DWORD);

}  // namespace

int wmain()
{
    const std::wstring folder = ParentFolder(ModuleFileName(nullptr));
    const UniqueModule library(LoadLibraryW((folder + L"VexloGatherLib.dll").c_str()));
    if (!library)
        return 2;
    const auto entry = [&library](const char* name) {
        return reinterpret_cast<void*>(GetProcAddress(library.get(), name));
    };
    const auto setLog = reinterpret_cast<SetLogFn>(entry("GatherSetLogFile"));
    const auto gather = reinterpret_cast<GatherFn>(entry("GatherInfo"));
    if (!setLog || !gather)
        return 2;
    setLog((folder + L"Vexlo_Debug_VireRuri.log").c_str());
    const HWND wnd = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    if (!wnd)
        return 2;
    wchar_t archive[1024] = {};
    const DWORD length = gather(wnd, 0, archive, 1024);
    MSG msg;
    while (PeekMessageW(&msg, wnd, WM_GENINFO, WM_GENINFO, PM_REMOVE))
        std::printf("msg %lld %lld\n", static_cast<long long>(msg.wParam), static_cast<long long>(msg.lParam));
    DestroyWindow(wnd);
    std::printf("%s\n", ToUtf8(archive).c_str());
    return length > 0 && length != 0xFFFFFFFFu ? 0 : 1;
}
