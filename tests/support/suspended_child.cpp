#include "tests/support/suspended_child.h"

TSuspendedChild::TSuspendedChild(const std::wstring& program, const std::wstring& copy)
{
    if (!CopyFileW(program.c_str(), copy.c_str(), FALSE))
        return;
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    std::wstring commandLine = L"\"" + copy + L"\"";
    FStarted = CreateProcessW(copy.c_str(), commandLine.data(), nullptr, nullptr, FALSE, CREATE_SUSPENDED, nullptr,
                              nullptr, &startup, &FInfo) != FALSE;
}

TSuspendedChild::~TSuspendedChild()
{
    if (!FStarted)
        return;
    TerminateProcess(FInfo.hProcess, 0);
    WaitForSingleObject(FInfo.hProcess, 30000);
    CloseHandle(FInfo.hThread);
    CloseHandle(FInfo.hProcess);
}
