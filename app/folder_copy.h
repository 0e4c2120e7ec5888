#pragma once
// Copying the gather folder file by file when no archive could be made.
#include <string>
#include <vector>

// Every file below `folder` (trailing backslash), breadth first, hidden and
// system files included. Junctions and symbolic links are not followed; a
// folder that cannot be listed is logged with the reason.
void GetFiles(const std::wstring& folder, std::vector<std::wstring>& files);
// Copies the tree `source` into `destination`, file by file, logging each copy
// and each failure with its reason. True when every file was copied.
bool CopyFolder(const std::wstring& destination, const std::wstring& source);
