#pragma once
// Child programs: started hidden by full path, each in a job object of its
// own, so that a time-out ends the program together with every process it
// started; and the lines of what a program prints.
#include <windows.h>

#include <string>
#include <string_view>
#include <vector>

#include "platform/handles.h"

// The lines of a program's captured output: a CR (0x0D) ends a line, an LF
// (0x0A) is dropped, every other byte belongs to the current line. Text after
// the last CR is a line of its own (output that does not end in CR keeps its
// last line). Each line is decoded from `codePage`.
std::vector<std::wstring> SplitCapturedLines(std::string_view bytes, UINT codePage = CP_ACP);

// A running child program inside a job object. The job is made with
// JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE: whatever of the tree still runs when the
// owner goes is ended with it. Where Windows cannot give the child a job
// (a parent job without nesting or breakaway), only the child itself is
// ended by EndTree.
class TChildProcess {
public:
    // Starts `program` (a full path; never searched for) with `arguments`, in
    // a new hidden console whose title is `consoleTitle` (empty: the program's
    // path). `output`, when given, must be inheritable: it becomes standard
    // output and standard error, and only then are handles inherited. Raises
    // EWin32Error when the process cannot be created.
    TChildProcess(const std::wstring& program, const std::wstring& arguments, HANDLE output = nullptr,
                  const std::wstring& consoleTitle = {});
    TChildProcess(TChildProcess&&) noexcept = default;
    TChildProcess& operator=(TChildProcess&&) noexcept = default;
    ~TChildProcess();

    HANDLE Process() const noexcept { return FProcess.get(); }
    // True when the program has ended within `milliseconds`.
    bool WaitFor(DWORD milliseconds) const noexcept;
    // Ends the program and everything it started, then waits (bounded) until
    // the program is gone.
    void EndTree() noexcept;
    // The exit code of an ended program, or -1.
    int ExitCode() const noexcept;

private:
    UniqueHandle FJob;
    UniqueHandle FProcess;
};

// The command line Windows gets: the program's path in double quotes, a blank
// and the arguments (none: the quoted path alone).
std::wstring ChildCommandLine(const std::wstring& program, const std::wstring& arguments);

// Runs `program` hidden, its standard output and standard error into one
// pipe, appends each line it prints (SplitCapturedLines, ANSI code page) to
// `lines`, and waits for it to end. False when `timeoutMs` passed first: the
// program and everything it started are then ended, and the lines read until
// then stay. Raises EWin32Error when the pipe ("Failed to create pipe！" and
// the system's message) or the process cannot be created.
bool RunAndCapture(const std::wstring& program, const std::wstring& arguments, std::vector<std::wstring>& lines,
                   DWORD timeoutMs, const std::wstring& consoleTitle = {});

// Runs `program` hidden in a new console, inheriting no handles, and waits up
// to `timeoutMs` for it. Its exit code; -1 when it could not be started or was
// ended at the bound (with everything it started).
int RunHidden(const std::wstring& program, const std::wstring& arguments, DWORD timeoutMs);
