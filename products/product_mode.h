#pragma once
// Which product-specific steps a run takes. The executable always collects
// everything; a library build that a product loads collects less.
#include <functional>
#include <string>
#include <vector>

enum TProductMode { pmAll = 0, pmMainProduct = 1, pmAntiMalware = 2, pmUninstaller = 3, pmDefrag = 4 };

// Set by the driver at the start of every run, read by the product inventory.
extern TProductMode ProductMode;

// The mode of the module that holds the gathering code: pmAll unless it is a
// library, which takes it from the "/Product" switch.
TProductMode GetProductMode();
TProductMode ProductModeFor(const std::wstring& moduleName, const std::function<int()>& readSwitch);

// 0 without parameters; otherwise 3, 4, 5 for "Grendax", "Clarvix", "Mervalo"
// after "/Product", and 2 or 1 for anything else by whether the Ultimate
// edition is installed.
int ReadProductSwitch();
int ProductSwitchFromArgs(const std::vector<std::wstring>& args, const std::function<bool()>& ultimateInstalled);

// True when the gathering code lives in a library module (the "/Product" case).
bool RunsAsLibrary();
