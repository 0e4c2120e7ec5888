#pragma once
// The diagnostic log: one UTF-16LE file next to the executable, one time-stamped
// line per call, opened and closed for every line so that nothing is lost when
// the process is ended abruptly.
#include <windows.h>
#include <memory>
#include <mutex>
#include <string>

#include "platform/handles.h"

// Always on: the log has no switch.
extern bool LogEnabled;

constexpr LONG LogMaxSize = 0x500000;  // 5,242,880 bytes

// One open log file. Opens the first of P, P_1.log, P_2.log, ... that can be
// opened for writing, sharing read access only.
class TLogObj {
public:
    explicit TLogObj(const std::wstring& path);  // throws std::runtime_error
    virtual ~TLogObj();
    TLogObj(const TLogObj&) = delete;
    TLogObj& operator=(const TLogObj&) = delete;

    void Add(const std::wstring& text, bool detail);
    const std::wstring& FileName() const { return FFileName; }

    bool FTimeStamp = true;
    LONG FMaxSize = LogMaxSize;

private:
    void WriteLine(const std::wstring& text, bool detail);

    std::mutex FLock;
    std::wstring FModuleName;
    std::wstring FFileName;
    UniqueFile FStream;
    LONG FSize = 0;
};

// The process-wide owner: serialises all writers and opens a TLogObj per line.
class TLogManage {
public:
    TLogManage() = default;
    virtual ~TLogManage() = default;
    TLogManage(const TLogManage&) = delete;
    TLogManage& operator=(const TLogManage&) = delete;

    void SetFileName(const std::wstring& path);
    void Add(const std::wstring& text, bool detail);

private:
    std::unique_ptr<TLogObj> FLog;
    std::mutex FLock;
    bool FCloseAfterWrite = true;
    std::wstring FFileName;
    bool FTimeStamp = true;
    LONG FMaxSize = LogMaxSize;
};

// Writes one normal line to the process log. Never throws.
void WriteLog(const std::wstring& text);
// Sets the process log's file (the executable's folder + "Vexlo_Debug_VireRuri.log").
void SetLogFileName(const std::wstring& path);
// Cuts the file to its last `limit` bytes when it is larger. Never throws.
void TrimLogFile(const std::wstring& path, LONG limit);
// "yyyy-mm-dd hh:nn:ss.zzz  " with the user's time separator.
std::wstring FormatLogTimeStamp(const SYSTEMTIME& time, const std::wstring& timeSeparator);
