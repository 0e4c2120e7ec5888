#pragma once
// The inventory of the products' install folders.
#include <string>

// Writes FilesInfo.txt into the gather folder.
void MakeFilesInfo(const std::wstring& gatherFolder);
