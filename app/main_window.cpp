#include "app/main_window.h"

#include <commctrl.h>
#include <shellapi.h>
#include <shlobj.h>

#include <cwchar>
#include <memory>

#include "app/diagnostic_log.h"
#include "app/explorer.h"
#include "app/gathering_driver.h"
#include "app/log_words.h"
#include "app/run_lock.h"
#include "app/save_path.h"
#include "app/worker.h"
#include "platform/handles.h"
#include "platform/paths.h"
#include "platform/modules.h"

namespace lw = log_words;

namespace {

const wchar_t* const FormClassName = L"TForm_VexloInfo";
const wchar_t* const FormCaption = L"Vexlo Helper V9";
const wchar_t* const LabelText =
    L"Vexlo Helper collects infomation about your system...\r\n\r\nPress the button below to generate an info file.";
const wchar_t* const LargeFileText = L"In the process of compressing a large file, please wait patiently.";
const wchar_t* const LogName = L"Vexlo_Debug_VireRuri.log";

constexpr int ClientWidth = 305;
constexpr int ClientHeight = 147;
enum ControlId { IdLabel = 100, IdButton = 101, IdProgress = 102 };

// The window's own state; lives as long as the window.
struct TForm_VexloInfo {
    HWND Wnd = nullptr;
    HWND Label1 = nullptr;
    HWND Button_Gen = nullptr;
    HWND PB = nullptr;
    UniqueGdiObject Font;
    bool Busy = false;  // hourglass while a run is going
    int PBMax = 100;
    std::unique_ptr<TRunLock> Lock;  // held from the click to the end of the process
};

TForm_VexloInfo Form;

void ShowInformation(HWND wnd, const std::wstring& text)
{
    MessageBoxW(wnd, text.c_str(), L"Information", MB_OK | MB_ICONINFORMATION);
}

void SetBusy(bool busy)
{
    Form.Busy = busy;
    SetCursor(LoadCursorW(nullptr, busy ? IDC_WAIT : IDC_ARROW));
}

// The bar completed, then hidden; the button back; the cursor normal.
void FinishRun()
{
    SendMessageW(Form.PB, PBM_SETPOS, Form.PBMax, 0);
    UpdateWindow(Form.PB);
    ShowWindow(Form.PB, SW_HIDE);
    SendMessageW(Form.PB, PBM_SETPOS, 0, 0);
    EnableWindow(Form.Button_Gen, TRUE);
    SetBusy(false);
    UpdateWindow(Form.Wnd);
}

void ShowOutcome(HWND wnd)
{
    FinishRun();
    const std::wstring log = ParentFolder(GetModuleName()) + LogName;
    // SaveFile names a file only when this run saved its archive there.
    if (!SaveFile.empty() && FileExists(SaveFile)) {
        WriteLog(lw::SaveFileExist + SaveFile);
        ShowInformation(wnd, L"The report file: Vexlo_Debug_Info.zip has been saved to:\r" + SaveFile);
        ShowInExplorer(SaveFile);
        DeleteFileW(log.c_str());
    } else {
        WriteLog(lw::SaveFileNotExist + SaveFile);
        if (!SaveFolder.empty() && DirectoryExists(SaveFolder)) {
            WriteLog(lw::SaveFolderExist + SaveFolder);
            CopyFileW(log.c_str(), ExtendedLengthPath(IncludeTrailingBackslash(SaveFolder) + LogName).c_str(), FALSE);
            ShowInformation(wnd, L"Please zip the following folder and send the zipped file to us.\r" + SaveFolder);
            ShowInExplorer(SaveFolder);
        } else {
            WriteLog(lw::SaveFolderNotExist + SaveFolder);
            ShowInformation(wnd, L"Please send the following log file to us.\r" + log);
            ShowInExplorer(log);
        }
    }
    // Nothing after the outcome needs cleaning up; the process ends here.
    TerminateProcess(GetCurrentProcess(), 0);
}

void WMGenInfo(HWND wnd, WPARAM wParam, LPARAM lParam)
{
    WriteLog(lw::MessagePrefix + std::to_wstring(WM_GENINFO) + lw::MessageWParamPart +
             std::to_wstring(static_cast<long long>(wParam)) + lw::MessageLParamPart +
             std::to_wstring(static_cast<long long>(lParam)));
    switch (wParam) {
    case 0:
        Form.PBMax = static_cast<int>(lParam);
        SendMessageW(Form.PB, PBM_SETRANGE32, 0, lParam);
        SendMessageW(Form.PB, PBM_SETPOS, 1, 0);
        ShowWindow(Form.PB, SW_SHOW);
        UpdateWindow(Form.PB);
        break;
    case 1:
        SendMessageW(Form.PB, PBM_SETPOS, static_cast<WPARAM>(lParam), 0);
        UpdateWindow(Form.PB);
        break;
    case 2:
        ShowOutcome(wnd);
        break;
    case 3:
        FinishRun();
        MessageBoxW(wnd, L"The info file save failed", L"Error", MB_OK | MB_ICONERROR);
        break;
    case 4:
        SetWindowTextW(Form.Label1, LargeFileText);
        break;
    default:
        break;
    }
}

DWORD WINAPI GenInfoThreadProc(LPVOID param) noexcept
{
    const HWND wnd = static_cast<HWND>(param);
    try {
        GenInfoThreadBody(wnd);
    } catch (...) {
        // The window must not wait for a worker that is gone: it is told the
        // run ended, with no report saved.
        WriteLog(std::wstring(lw::WorkerExcept) + L"\r\n" + lw::ReasonIndent + CurrentExceptionText());
        SaveFile.clear();
        SendMessageW(wnd, WM_GENINFO, 2, 0);
    }
    return 0;
}

void PumpPendingMessages()
{
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            PostQuitMessage(static_cast<int>(msg.wParam));
            break;
        }
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

void Button_GenClick(HWND wnd)
{
    EnableWindow(Form.Button_Gen, FALSE);
    SetBusy(true);
    PumpPendingMessages();

    // One gathering per session: a second would spoil the first one's files.
    Form.Lock = std::make_unique<TRunLock>();
    if (!Form.Lock->Acquired()) {
        WriteLog(lw::ReportBusy);
        SetBusy(false);
        MessageBoxW(wnd, L"A report is already being made.\rPlease wait until it has been saved.", L"Information",
                    MB_OK | MB_ICONINFORMATION);
        DestroyWindow(wnd);
        return;
    }

    SaveFile = DecideSaveFile();
    UniqueHandle worker(CreateThread(nullptr, 0, GenInfoThreadProc, wnd, 0, nullptr));
    if (!worker) {
        // Without a worker there is no run: give the button back and say so.
        Form.Lock.reset();
        WMGenInfo(wnd, 3, 0);
    }
}

LRESULT FormMessage(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
    case WM_COMMAND:
        if (LOWORD(wParam) == IdButton && HIWORD(wParam) == BN_CLICKED) {
            Button_GenClick(wnd);
            return 0;
        }
        break;
    case WM_GENINFO:
        WMGenInfo(wnd, wParam, lParam);
        return 0;
    case WM_SETCURSOR:
        if (Form.Busy) {
            SetCursor(LoadCursorW(nullptr, IDC_WAIT));
            return TRUE;
        }
        break;
    case WM_CTLCOLORSTATIC:
        SetBkMode(reinterpret_cast<HDC>(wParam), TRANSPARENT);
        SetTextColor(reinterpret_cast<HDC>(wParam), GetSysColor(COLOR_WINDOWTEXT));
        return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
    case WM_DESTROY:
        WriteLog(lw::FormDestroy);
        PostQuitMessage(0);
        return 0;
    default:
        break;
    }
    return DefWindowProcW(wnd, msg, wParam, lParam);
}

// Every function that Windows or a foreign caller calls (this window
// procedure, the thread procedures, the library's exports, destructors that
// clean up) is noexcept and catches everything: it logs why and returns the
// documented failure. Nothing escapes into code that cannot handle it.
LRESULT CALLBACK FormProc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam) noexcept
{
    try {
        return FormMessage(wnd, msg, wParam, lParam);
    } catch (...) {
        WriteLog(std::wstring(lw::WindowExcept) + L"\r\n" + lw::ReasonIndent + CurrentExceptionText());
        return DefWindowProcW(wnd, msg, wParam, lParam);
    }
}

HWND AddControl(HWND parent, const wchar_t* cls, const wchar_t* text, DWORD style, int x, int y, int w, int h, int id)
{
    HWND control = CreateWindowExW(0, cls, text, WS_CHILD | style, x, y, w, h, parent,
                                   reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), nullptr, nullptr);
    SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(Form.Font.get()), FALSE);
    return control;
}

}  // namespace

HWND CreateMainForm(HINSTANCE instance)
{
    INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_PROGRESS_CLASS | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&icc);

    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = FormProc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = FormClassName;
    wc.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(1));
    if (!RegisterClassExW(&wc))
        return nullptr;

    // A tool window with a small caption and a close box only, fixed size,
    // that still has its own taskbar button.
    const DWORD style = WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
    const DWORD exStyle = WS_EX_TOOLWINDOW | WS_EX_APPWINDOW;
    RECT frame{0, 0, ClientWidth, ClientHeight};
    AdjustWindowRectEx(&frame, style, FALSE, exStyle);
    const int width = frame.right - frame.left;
    const int height = frame.bottom - frame.top;
    const int x = (GetSystemMetrics(SM_CXSCREEN) - width) / 2;
    const int y = (GetSystemMetrics(SM_CYSCREEN) - height) / 2;
    HWND wnd = CreateWindowExW(exStyle, FormClassName, L"", style, x, y, width, height, nullptr, nullptr, instance, nullptr);
    if (!wnd)
        return nullptr;
    Form.Wnd = wnd;
    SetWindowTextW(wnd, FormCaption);  // FormCreate

    // Tahoma 8 pt as designed at 96 dots per inch, not scaled.
    Form.Font.reset(CreateFontW(-11, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                            CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, L"Tahoma"));
    Form.Label1 = AddControl(wnd, L"STATIC", LabelText, WS_VISIBLE | SS_LEFT, 28, 22, 254, 39, IdLabel);
    Form.Button_Gen = AddControl(wnd, L"BUTTON", L"Save report", WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, 61, 81, 169,
                                 25, IdButton);
    Form.PB = AddControl(wnd, PROGRESS_CLASSW, L"", PBS_SMOOTH | WS_TABSTOP, 31, 122, 253, 17, IdProgress);
    SendMessageW(Form.PB, PBM_SETRANGE32, 0, 100);

    ShowWindow(wnd, SW_SHOW);
    UpdateWindow(wnd);
    SetFocus(Form.Button_Gen);
    return wnd;
}
