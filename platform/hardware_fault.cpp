#include "platform/hardware_fault.h"

#include <cwchar>
#include <mutex>

#include "platform/text.h"

namespace {
struct TFaultState;
}

// The thrower the trampoline below calls; it never returns.
extern "C" [[noreturn]] __attribute__((noinline, used)) void VexloThrowRecordedFault();

// The handler makes a faulting thread "call" FaultTrampoline from the faulting
// instruction. The trampoline aligns the stack (the fault may come at any
// stack alignment) and calls the thrower; its unwind description is the
// classic frame-pointer one, so the unwinder passes through it back to the
// faulting frame exactly.
#define VEXLO_STR2(x) #x
#define VEXLO_STR(x) VEXLO_STR2(x)
#define VEXLO_SYMBOL(name) VEXLO_STR(__USER_LABEL_PREFIX__) #name
#ifdef _WIN64
asm(".text\n"
    ".globl " VEXLO_SYMBOL(VexloFaultTrampoline) "\n"
    ".def " VEXLO_SYMBOL(VexloFaultTrampoline) "; .scl 2; .type 32; .endef\n"
    ".seh_proc " VEXLO_SYMBOL(VexloFaultTrampoline) "\n"
    VEXLO_SYMBOL(VexloFaultTrampoline) ":\n"
    "    pushq %rbp\n"
    "    .seh_pushreg %rbp\n"
    "    movq %rsp, %rbp\n"
    "    .seh_setframe %rbp, 0\n"
    "    .seh_endprologue\n"
    "    andq $-16, %rsp\n"
    "    subq $32, %rsp\n"
    "    call " VEXLO_SYMBOL(VexloThrowRecordedFault) "\n"
    "    int3\n"
    ".seh_endproc\n");
#else
asm(".text\n"
    ".globl " VEXLO_SYMBOL(VexloFaultTrampoline) "\n"
    ".def " VEXLO_SYMBOL(VexloFaultTrampoline) "; .scl 2; .type 32; .endef\n"
    VEXLO_SYMBOL(VexloFaultTrampoline) ":\n"
    "    .cfi_startproc\n"
    "    pushl %ebp\n"
    "    .cfi_def_cfa_offset 8\n"
    "    .cfi_offset %ebp, -8\n"
    "    movl %esp, %ebp\n"
    "    .cfi_def_cfa_register %ebp\n"
    "    andl $-16, %esp\n"
    "    call " VEXLO_SYMBOL(VexloThrowRecordedFault) "\n"
    "    int3\n"
    "    .cfi_endproc\n");
#endif
extern "C" void VexloFaultTrampoline();

namespace {

// The guards alive on this thread, and what the handler saw for the throw
// that follows on the same thread. One record, first touched by a guard, so
// that the handler never allocates thread storage in the middle of a fault.
struct TFaultState {
    int Depth = 0;
    DWORD Code = 0;
    const void* Address = nullptr;
    ULONG_PTR Operation = 0;
    ULONG_PTR DataAddress = 0;
};
thread_local TFaultState Fault;

std::mutex HandlerLock;
int HandlerUsers = 0;
void* Handler = nullptr;

bool InThisModule(const void* address)
{
    HMODULE module = nullptr;
    HMODULE self = nullptr;
    const DWORD flags = GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT;
    return GetModuleHandleExW(flags, static_cast<LPCWSTR>(address), &module) &&
           GetModuleHandleExW(flags, reinterpret_cast<LPCWSTR>(&VexloThrowRecordedFault), &self) && module == self;
}

// The instruction pointer and stack pointer of a context, whatever the build.
#ifdef _WIN64
ULONG_PTR& Ip(CONTEXT& c) { return reinterpret_cast<ULONG_PTR&>(c.Rip); }
ULONG_PTR& Sp(CONTEXT& c) { return reinterpret_cast<ULONG_PTR&>(c.Rsp); }
#else
ULONG_PTR& Ip(CONTEXT& c) { return reinterpret_cast<ULONG_PTR&>(c.Eip); }
ULONG_PTR& Sp(CONTEXT& c) { return reinterpret_cast<ULONG_PTR&>(c.Esp); }
#endif

// Makes `context` call the trampoline from `returnAddress`: the unwinder then
// sees our frame at that address as the thrower's caller.
void RedirectToThrow(CONTEXT& context, ULONG_PTR returnAddress)
{
    // The stack pointer stays exactly where the frame had it: the unwinder
    // computes the frame from it. The trampoline realigns the stack.
    ULONG_PTR sp = Sp(context) - sizeof(ULONG_PTR);
    *reinterpret_cast<ULONG_PTR*>(sp) = returnAddress;
    Sp(context) = sp;
    Ip(context) = reinterpret_cast<ULONG_PTR>(&VexloFaultTrampoline);
}


LONG CALLBACK OnException(EXCEPTION_POINTERS* info)
{
    if (Fault.Depth <= 0 || !info || !info->ExceptionRecord || !info->ContextRecord)
        return EXCEPTION_CONTINUE_SEARCH;
    const EXCEPTION_RECORD& record = *info->ExceptionRecord;
    if (!IsHardwareFaultCode(record.ExceptionCode))
        return EXCEPTION_CONTINUE_SEARCH;
    Fault.Code = record.ExceptionCode;
    Fault.Address = record.ExceptionAddress;
    Fault.Operation = record.NumberParameters >= 1 ? record.ExceptionInformation[0] : 0;
    Fault.DataAddress = record.NumberParameters >= 2 ? record.ExceptionInformation[1] : 0;

    CONTEXT& context = *info->ContextRecord;
    if (InThisModule(record.ExceptionAddress)) {
        // One past the faulting instruction's first byte: the unwinder looks
        // up the byte before a return address, which is then the fault itself.
        RedirectToThrow(context, Ip(context) + 1);
        return EXCEPTION_CONTINUE_EXECUTION;
    }
    return EXCEPTION_CONTINUE_SEARCH;
}

}  // namespace

void VexloThrowRecordedFault()
{
    throw EHardwareFault(Fault.Code, Fault.Address, DescribeFault(Fault.Code, Fault.Operation, Fault.DataAddress));
}

EHardwareFault::EHardwareFault(DWORD code, const void* address, const std::wstring& description)
    : std::runtime_error([&] {
          wchar_t where[48];
          swprintf(where, 48, L" at 0x%p", address);
          return ToUtf8(description + where);
      }()),
      FCode(code), FAddress(address)
{
}

bool IsHardwareFaultCode(DWORD code)
{
    switch (code) {
    case EXCEPTION_ACCESS_VIOLATION:
    case EXCEPTION_IN_PAGE_ERROR:
    case EXCEPTION_DATATYPE_MISALIGNMENT:
    case EXCEPTION_ARRAY_BOUNDS_EXCEEDED:
    case EXCEPTION_ILLEGAL_INSTRUCTION:
    case EXCEPTION_PRIV_INSTRUCTION:
    case EXCEPTION_INT_DIVIDE_BY_ZERO:
    case EXCEPTION_INT_OVERFLOW:
    case EXCEPTION_FLT_DIVIDE_BY_ZERO:
    case EXCEPTION_FLT_INVALID_OPERATION:
    case EXCEPTION_FLT_OVERFLOW:
    case EXCEPTION_FLT_UNDERFLOW:
    case EXCEPTION_FLT_INEXACT_RESULT:
    case EXCEPTION_FLT_DENORMAL_OPERAND:
    case EXCEPTION_FLT_STACK_CHECK:
        return true;
    default:
        return false;
    }
}

std::wstring DescribeFault(DWORD code, ULONG_PTR operation, ULONG_PTR address)
{
    wchar_t text[128];
    const auto access = [&](const wchar_t* what) {
        const wchar_t* verb = operation == 0 ? L"reading" : operation == 8 ? L"executing" : L"writing";
        swprintf(text, 128, L"%ls %ls address 0x%p", what, verb, reinterpret_cast<void*>(address));
        return std::wstring(text);
    };
    switch (code) {
    case EXCEPTION_ACCESS_VIOLATION: return access(L"access violation");
    case EXCEPTION_IN_PAGE_ERROR: return access(L"in-page error");
    case EXCEPTION_DATATYPE_MISALIGNMENT: return L"misaligned data";
    case EXCEPTION_ARRAY_BOUNDS_EXCEEDED: return L"array bounds exceeded";
    case EXCEPTION_ILLEGAL_INSTRUCTION: return L"illegal instruction";
    case EXCEPTION_PRIV_INSTRUCTION: return L"privileged instruction";
    case EXCEPTION_INT_DIVIDE_BY_ZERO: return L"integer division by zero";
    case EXCEPTION_INT_OVERFLOW: return L"integer overflow";
    case EXCEPTION_STACK_OVERFLOW: return L"stack overflow";
    default:
        if (code >= EXCEPTION_FLT_DENORMAL_OPERAND && code <= EXCEPTION_FLT_UNDERFLOW)
            return L"floating-point fault";
        swprintf(text, 128, L"exception 0x%08lX", static_cast<unsigned long>(code));
        return text;
    }
}

THardwareFaultGuard::THardwareFaultGuard()
{
    {
        const std::lock_guard<std::mutex> lock(HandlerLock);
        if (HandlerUsers++ == 0)
            Handler = AddVectoredExceptionHandler(1, OnException);
    }
    ++Fault.Depth;
}

THardwareFaultGuard::~THardwareFaultGuard()
{
    --Fault.Depth;
    const std::lock_guard<std::mutex> lock(HandlerLock);
    if (--HandlerUsers == 0 && Handler) {
        RemoveVectoredExceptionHandler(Handler);
        Handler = nullptr;
    }
}
