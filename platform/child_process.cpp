#include "platform/child_process.h"

#include <mutex>
#include <optional>

#include "platform/text.h"
#include "platform/win32_error.h"

namespace {

// How long EndTree waits for an ended program to be gone.
constexpr DWORD EndWaitMs = 5000;
// Bytes per read, as the output has always been read.
constexpr DWORD ReadChunk = 1025;

// An inheritable handle exists only between its creation and the close right
// after CreateProcess; two captures started at the same moment from different
// threads must not hand each other's pipe to their children (a child that
// holds a foreign pipe keeps that reader waiting until the child ends).
std::mutex InheritLock;

// Milliseconds left of `bound` since `start` (GetTickCount, wrap-safe).
DWORD Remaining(DWORD start, DWORD bound)
{
    const DWORD elapsed = GetTickCount() - start;
    return elapsed >= bound ? 0 : bound - elapsed;
}

// The read end of a capture pipe (overlapped, so that a read can give up at
// the bound) and the inheritable write end for the child.
struct TCapturePipe {
    UniqueHandle Read;
    UniqueFile Write;
};

[[noreturn]] void RaisePipeError(DWORD code)
{
    throw EWin32Error(L"Failed to create pipe\xFF01", code);
}

TCapturePipe CreateCapturePipe()
{
    TCapturePipe pipe;
    std::wstring name;
    // A unique name per thread; a name taken by someone else is skipped
    // (FILE_FLAG_FIRST_PIPE_INSTANCE refuses to join a pipe we did not make).
    // One instance only, whose default security lets other accounts only
    // read (a writer is what would have to connect); remote clients cannot be
    // refused by flag before Vista.
    for (int attempt = 0; attempt < 16 && !pipe.Read; ++attempt) {
        name = L"\\\\.\\pipe\\vexlo-capture-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
               std::to_wstring(GetCurrentThreadId()) + L"-" + std::to_wstring(GetTickCount()) + L"-" +
               std::to_wstring(attempt);
        HANDLE read = CreateNamedPipeW(name.c_str(), PIPE_ACCESS_INBOUND | FILE_FLAG_OVERLAPPED |
                                                         FILE_FLAG_FIRST_PIPE_INSTANCE,
                                       PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT, 1, 4096, 4096, 0,
                                       nullptr);
        const DWORD error = GetLastError();
        if (read != INVALID_HANDLE_VALUE)
            pipe.Read.reset(read);
        else if (error != ERROR_ACCESS_DENIED && error != ERROR_PIPE_BUSY)
            RaisePipeError(error);
    }
    if (!pipe.Read)
        RaisePipeError(GetLastError());
    SECURITY_ATTRIBUTES inheritable{sizeof(inheritable), nullptr, TRUE};
    pipe.Write.reset(
        CreateFileW(name.c_str(), GENERIC_WRITE, 0, &inheritable, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!pipe.Write)
        RaisePipeError(GetLastError());
    return pipe;
}

// Reads the pipe until every writer has closed it or the bound is reached;
// false at the bound.
bool ReadToEnd(HANDLE read, std::string& bytes, DWORD start, DWORD bound)
{
    UniqueHandle event(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (!event)
        RaiseLastError(L"cannot create the read event");
    char chunk[ReadChunk];
    for (;;) {
        OVERLAPPED overlapped{};
        overlapped.hEvent = event.get();
        DWORD got = 0;
        if (ReadFile(read, chunk, ReadChunk, &got, &overlapped)) {
            bytes.append(chunk, got);
            continue;
        }
        if (GetLastError() != ERROR_IO_PENDING)
            return true;  // ERROR_BROKEN_PIPE: the program and its children are done with it
        if (WaitForSingleObject(event.get(), Remaining(start, bound)) != WAIT_OBJECT_0) {
            CancelIo(read);
            GetOverlappedResult(read, &overlapped, &got, TRUE);  // the buffer is ours again
            return false;
        }
        if (!GetOverlappedResult(read, &overlapped, &got, FALSE))
            return true;
        bytes.append(chunk, got);
    }
}

}  // namespace

std::vector<std::wstring> SplitCapturedLines(std::string_view bytes, UINT codePage)
{
    std::vector<std::wstring> lines;
    std::string line;
    for (const char c : bytes) {
        if (c == '\r') {
            lines.push_back(FromCodePage(line, codePage));
            line.clear();
        } else if (c != '\n') {
            line.push_back(c);
        }
    }
    if (!line.empty())
        lines.push_back(FromCodePage(line, codePage));
    return lines;
}

std::wstring ChildCommandLine(const std::wstring& program, const std::wstring& arguments)
{
    std::wstring line = L"\"" + program + L"\"";
    if (!arguments.empty())
        line += L" " + arguments;
    return line;
}

TChildProcess::TChildProcess(const std::wstring& program, const std::wstring& arguments, HANDLE output,
                             const std::wstring& consoleTitle)
{
    std::wstring commandLine = ChildCommandLine(program, arguments);
    std::wstring title = consoleTitle;
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_HIDE;
    startup.lpTitle = title.empty() ? nullptr : title.data();
    if (output) {
        startup.dwFlags |= STARTF_USESTDHANDLES;
        startup.hStdOutput = output;
        startup.hStdError = output;
    }
    // Suspended until it is in its job, so that nothing it starts escapes.
    const DWORD flags = CREATE_NEW_CONSOLE | NORMAL_PRIORITY_CLASS | CREATE_SUSPENDED;
    PROCESS_INFORMATION info{};
    const auto create = [&](DWORD extra) {
        return CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, output ? TRUE : FALSE,
                              flags | extra, nullptr, nullptr, &startup, &info) != FALSE;
    };
    // Out of a job this process may be in, where that job allows it (a job
    // of our own cannot be nested into it before Windows 8).
    if (!create(CREATE_BREAKAWAY_FROM_JOB) && !create(0))
        RaiseLastError(L"cannot start " + program);
    FProcess.reset(info.hProcess);
    const UniqueHandle thread(info.hThread);

    FJob.reset(CreateJobObjectW(nullptr, nullptr));
    if (FJob) {
        JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
        limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
        if (!SetInformationJobObject(FJob.get(), JobObjectExtendedLimitInformation, &limits, sizeof(limits)) ||
            !AssignProcessToJobObject(FJob.get(), FProcess.get()))
            FJob.reset();
    }
    ResumeThread(thread.get());
}

TChildProcess::~TChildProcess() = default;

bool TChildProcess::WaitFor(DWORD milliseconds) const noexcept
{
    return FProcess && WaitForSingleObject(FProcess.get(), milliseconds) == WAIT_OBJECT_0;
}

void TChildProcess::EndTree() noexcept
{
    const DWORD start = GetTickCount();
    if (FJob)
        TerminateJobObject(FJob.get(), ERROR_TIMEOUT);
    else if (FProcess)
        TerminateProcess(FProcess.get(), ERROR_TIMEOUT);
    WaitFor(EndWaitMs);
    // Termination is asynchronous: wait until no process of the job is left,
    // so that the files they held are free when this returns.
    while (FJob && Remaining(start, EndWaitMs) > 0) {
        JOBOBJECT_BASIC_ACCOUNTING_INFORMATION accounting{};
        if (!QueryInformationJobObject(FJob.get(), JobObjectBasicAccountingInformation, &accounting,
                                       sizeof(accounting), nullptr) ||
            accounting.ActiveProcesses == 0)
            break;
        Sleep(10);
    }
}

int TChildProcess::ExitCode() const noexcept
{
    DWORD code = 0;
    if (!FProcess || !GetExitCodeProcess(FProcess.get(), &code) || code == STILL_ACTIVE)
        return -1;
    return static_cast<int>(code);
}

bool RunAndCapture(const std::wstring& program, const std::wstring& arguments, std::vector<std::wstring>& lines,
                   DWORD timeoutMs, const std::wstring& consoleTitle)
{
    const DWORD start = GetTickCount();
    TCapturePipe pipe;
    std::optional<TChildProcess> child;
    {
        const std::lock_guard<std::mutex> lock(InheritLock);
        pipe = CreateCapturePipe();
        child.emplace(program, arguments, pipe.Write.get(), consoleTitle);
        pipe.Write.reset();  // from now on only the child's copies keep the pipe open
    }
    std::string bytes;
    bool finished = ReadToEnd(pipe.Read.get(), bytes, start, timeoutMs);
    if (finished)
        finished = child->WaitFor(Remaining(start, timeoutMs));
    if (!finished)
        child->EndTree();
    const auto captured = SplitCapturedLines(bytes);
    lines.insert(lines.end(), captured.begin(), captured.end());
    return finished;
}

int RunHidden(const std::wstring& program, const std::wstring& arguments, DWORD timeoutMs)
{
    try {
        TChildProcess child(program, arguments);
        if (!child.WaitFor(timeoutMs)) {
            child.EndTree();
            return -1;
        }
        return child.ExitCode();
    } catch (const EWin32Error&) {
        return -1;
    }
}
