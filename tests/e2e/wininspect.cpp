// Test tool: finds a top-level window by its caption and reports it, so that a
// Linux-side test can check the layout and drive it.
//   wininspect wait CAPTION SECONDS   waits for the window, prints its facts
//   wininspect press CAPTION BUTTON   clicks a button of that window (BM_CLICK)
// Output: one "key=value" line per fact; child windows as
//   child=CLASS|TEXT|left,top,width,height|visible|style|font,height
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

void Print(const std::wstring& line)
{
    const std::wstring text = line + L"\n";
    const int n = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), utf8.data(), n, nullptr, nullptr);
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), utf8.data(), static_cast<DWORD>(utf8.size()), &written, nullptr);
}

std::wstring Escape(const std::wstring& text)
{
    std::wstring out;
    for (const wchar_t c : text) {
        if (c == L'\r')
            out += L"\\r";
        else if (c == L'\n')
            out += L"\\n";
        else
            out += c;
    }
    return out;
}

std::wstring WindowText(HWND wnd)
{
    std::wstring text(static_cast<size_t>(GetWindowTextLengthW(wnd)) + 1, L'\0');
    text.resize(static_cast<size_t>(GetWindowTextW(wnd, text.data(), static_cast<int>(text.size()))));
    return text;
}

std::wstring ClassOf(HWND wnd)
{
    wchar_t name[256] = {};
    GetClassNameW(wnd, name, 256);
    return name;
}

std::wstring Rect(int l, int t, int w, int h)
{
    return std::to_wstring(l) + L"," + std::to_wstring(t) + L"," + std::to_wstring(w) + L"," + std::to_wstring(h);
}

struct Search {
    const std::wstring* caption;
    HWND found;
};

BOOL CALLBACK MatchCaption(HWND wnd, LPARAM param)
{
    auto* s = reinterpret_cast<Search*>(param);
    if (IsWindowVisible(wnd) && WindowText(wnd) == *s->caption) {
        s->found = wnd;
        return FALSE;
    }
    return TRUE;
}

HWND FindTopLevel(const std::wstring& caption)
{
    Search search{&caption, nullptr};
    EnumWindows(MatchCaption, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

void Report(HWND wnd)
{
    RECT client{};
    GetClientRect(wnd, &client);
    POINT origin{0, 0};
    ClientToScreen(wnd, &origin);
    RECT outer{};
    GetWindowRect(wnd, &outer);
    Print(L"caption=" + Escape(WindowText(wnd)));
    Print(L"class=" + ClassOf(wnd));
    Print(L"client=" + std::to_wstring(client.right) + L"x" + std::to_wstring(client.bottom));
    Print(L"origin=" + std::to_wstring(origin.x) + L"," + std::to_wstring(origin.y));
    Print(L"window=" + Rect(outer.left, outer.top, outer.right - outer.left, outer.bottom - outer.top));
    Print(L"screen=" + std::to_wstring(GetSystemMetrics(SM_CXSCREEN)) + L"x" +
          std::to_wstring(GetSystemMetrics(SM_CYSCREEN)));
    Print(L"style=" + std::to_wstring(GetWindowLongW(wnd, GWL_STYLE)));
    Print(L"exstyle=" + std::to_wstring(GetWindowLongW(wnd, GWL_EXSTYLE)));
    for (HWND child = GetWindow(wnd, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        RECT r{};
        GetWindowRect(child, &r);
        MapWindowPoints(nullptr, wnd, reinterpret_cast<POINT*>(&r), 2);
        std::wstring font = L"none,0";
        if (const auto hfont = reinterpret_cast<HFONT>(SendMessageW(child, WM_GETFONT, 0, 0))) {
            LOGFONTW lf{};
            if (GetObjectW(hfont, sizeof(lf), &lf))
                font = std::wstring(lf.lfFaceName) + L"," + std::to_wstring(lf.lfHeight);
        }
        Print(L"child=" + ClassOf(child) + L"|" + Escape(WindowText(child)) + L"|" +
              Rect(r.left, r.top, r.right - r.left, r.bottom - r.top) + L"|" +
              (IsWindowVisible(child) ? L"visible" : L"hidden") + L"|" +
              std::to_wstring(GetWindowLongW(child, GWL_STYLE)) + L"|" + font);
    }
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc < 4)
        return 2;
    const std::wstring verb = argv[1];
    const std::wstring caption = argv[2];
    if (verb == L"wait") {
        const DWORD deadline = GetTickCount() + static_cast<DWORD>(_wtoi(argv[3])) * 1000;
        for (;;) {
            if (HWND wnd = FindTopLevel(caption)) {
                Report(wnd);
                return 0;
            }
            if (static_cast<LONG>(GetTickCount() - deadline) > 0)
                return 1;
            Sleep(200);
        }
    }
    if (verb == L"press") {
        HWND wnd = FindTopLevel(caption);
        if (!wnd)
            return 1;
        for (HWND child = GetWindow(wnd, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
            if (WindowText(child) == argv[3]) {
                PostMessageW(child, BM_CLICK, 0, 0);
                return 0;
            }
        }
        return 1;
    }
    return 2;
}
