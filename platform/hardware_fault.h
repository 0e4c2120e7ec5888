#pragma once
// Processor faults as C++ exceptions inside guarded scopes.
//
// An access violation while a section parses a buffer, or an in-page error
// while a mapped file is read, would end the process: catch (...) does not
// see such faults. While a THardwareFaultGuard lives on a thread, a fault of
// that thread in this program's own code is turned into an EHardwareFault,
// thrown as if by the faulting instruction: the stack unwinds with every
// destructor running, and the guard's caller catches it like any error. (All
// of this program's code is compiled with -fnon-call-exceptions, so that a
// faulting instruction, not only a call, can throw.)
//
// A fault inside a system library called from our code (memcpy over a bad
// pointer, say) is not turned into an exception: the compiler knows such
// calls as ones that never throw and leaves no way to unwind from them, and
// the 32-bit system libraries carry no unwind tables our unwinder can read.
// Such a fault, like a fault on a thread without a guard, goes on to the
// crash report. Stack overflows are never intercepted: no handler can run
// safely on a broken stack.
#include <windows.h>

#include <stdexcept>
#include <string>

class EHardwareFault : public std::runtime_error {
public:
    EHardwareFault(DWORD code, const void* address, const std::wstring& description);
    DWORD Code() const noexcept { return FCode; }
    const void* Address() const noexcept { return FAddress; }

private:
    DWORD FCode;
    const void* FAddress;
};

// While one lives on a thread, that thread's faults become EHardwareFault.
// Guards nest; the handler is installed while any guard lives.
class THardwareFaultGuard {
public:
    THardwareFaultGuard();
    ~THardwareFaultGuard();
    THardwareFaultGuard(const THardwareFaultGuard&) = delete;
    THardwareFaultGuard& operator=(const THardwareFaultGuard&) = delete;
};

// "access violation reading address 0x00000000", "in-page error ...", "integer
// division by zero", ... for an exception record's code and parameters.
std::wstring DescribeFault(DWORD code, ULONG_PTR operation, ULONG_PTR address);
// True for the codes a guard turns into EHardwareFault.
bool IsHardwareFaultCode(DWORD code);
