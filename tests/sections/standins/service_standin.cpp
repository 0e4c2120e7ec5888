// A service program that does nothing: service_standin.exe NAME runs as the
// own-process service NAME, reports itself running and ends when stopped.
#include <windows.h>

namespace {

SERVICE_STATUS_HANDLE StatusHandle = nullptr;
SERVICE_STATUS Status{};
HANDLE StopEvent = nullptr;
wchar_t* Name = nullptr;

void Report(DWORD state)
{
    Status.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
    Status.dwCurrentState = state;
    Status.dwControlsAccepted = state == SERVICE_RUNNING ? SERVICE_ACCEPT_STOP : 0;
    SetServiceStatus(StatusHandle, &Status);
}

DWORD WINAPI Handler(DWORD control, DWORD, void*, void*)
{
    if (control == SERVICE_CONTROL_STOP) {
        Report(SERVICE_STOP_PENDING);
        SetEvent(StopEvent);
    }
    return NO_ERROR;
}

void WINAPI ServiceMain(DWORD, wchar_t**)
{
    StatusHandle = RegisterServiceCtrlHandlerExW(Name, Handler, nullptr);
    if (!StatusHandle)
        return;
    Report(SERVICE_RUNNING);
    WaitForSingleObject(StopEvent, INFINITE);
    Report(SERVICE_STOPPED);
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc < 2)
        return 2;
    Name = argv[1];
    StopEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    SERVICE_TABLE_ENTRYW table[] = {{Name, ServiceMain}, {nullptr, nullptr}};
    return StartServiceCtrlDispatcherW(table) ? 0 : 1;
}
