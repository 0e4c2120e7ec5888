#pragma once
// Copies of the products' logs, settings and backups into the gather folder.
#include <string>

void LoadLog(const std::wstring& gatherFolder);
// `sizeLimitMiB` 0 means no limit.
void LoadOtherInfo(const std::wstring& gatherFolder, int sizeLimitMiB);
void LoadOnlyForVireRuriTool(const std::wstring& gatherFolder);
void GenTBXLogFiles(const std::wstring& gatherFolder);
void GenGDXLogFiles(const std::wstring& gatherFolder);
