#pragma once
// The gathering driver: one report run from the gather folder to the archive.
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

// Progress and completion message between the worker and the main window.
constexpr UINT WM_GENINFO = WM_USER + 0x101;
// The progress maximum announced at the start of a run.
constexpr int GenInfoProgressMax = 20;

// Which product-specific steps run. The executable always runs pmAll.
enum TProductMode { pmAll = 0, pmMainProduct = 1, pmAntiMalware = 2, pmUninstaller = 3, pmDefrag = 4 };

// Set at the start of every run, read by the product inventory.
extern TProductMode ProductMode;

// Runs one report run. Progress goes to `wnd` (may be null). `archivePath` is
// emptied at the start, set as soon as the gather folder is settled, and
// returned whatever happens later. Never throws.
void DoGatherInfo(HWND wnd, int otherInfoSizeLimit, std::wstring& archivePath);

// The mode of the module that holds the gathering code: pmAll unless it is a
// library, which takes it from the "/Product" switch.
TProductMode GetProductMode();
TProductMode ProductModeFor(const std::wstring& moduleName, const std::function<int()>& readSwitch);

// 0 without parameters; otherwise 3, 4, 5 for "Grendax", "Clarvix", "Mervalo"
// after "/Product", and 2 or 1 for anything else by whether the Ultimate
// edition is installed.
int ReadProductSwitch();
int ProductSwitchFromArgs(const std::vector<std::wstring>& args, const std::function<bool()>& ultimateInstalled);

// Silent, permanent, recursive delete through the shell.
bool DeleteFolder(const std::wstring& folder);
