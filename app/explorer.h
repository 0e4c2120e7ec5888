#pragma once
// Showing the result in Explorer.
#include <string>

// Opens Explorer on the folder of `target` with `target` selected.
void ShowInExplorer(const std::wstring& target);
