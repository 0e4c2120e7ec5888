#pragma once
// Finding the installed products and their folders.
#include <string>

// The main product's program folder; set by FindProductAppPath once per run.
extern std::wstring ProductAppPath;

void FindProductAppPath();
// The install folder recorded under the uninstall key `keyName`, with a trailing
// backslash, or empty when the product is not installed.
std::wstring GetInstallLocation(const std::wstring& keyName);
