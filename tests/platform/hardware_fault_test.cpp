#include <gtest/gtest.h>

#include <windows.h>

#include <cstdlib>
#include <string>

#include "platform/hardware_fault.h"

namespace {

// Kept out of line and opaque (the pointers and divisors come through
// volatile variables), so the compiler cannot see the faults coming.
volatile int Sink = 0;
int* volatile NullPointer = nullptr;
int* volatile LowPointer = reinterpret_cast<int*>(sizeof(int));

__attribute__((noinline)) int ReadThrough(int* volatile const& pointer)
{
    int* p = pointer;
    Sink = *p;
    return Sink;
}

__attribute__((noinline)) void Divide(int a, int b)
{
    volatile int divisor = b;
    Sink = a / divisor;
}

// The 32-bit build runs here through qemu-user, which does not tell Wine the
// processor's trap number: Wine then reports its own guess of the code (an
// illegal instruction for a bad read, say). The fault is caught all the same;
// its exact code is checked where the processor reports it, in the 64-bit build.
bool TrapCodesAreReal()
{
    const char* arch = std::getenv("VEXLO_ARCH");
    return !(arch && std::string(arch) == "i686");
}

void ExpectFault(const EHardwareFault& fault, DWORD code, const char* description)
{
    EXPECT_TRUE(IsHardwareFaultCode(fault.Code()));
    if (!TrapCodesAreReal())
        return;
    EXPECT_EQ(fault.Code(), code);
    EXPECT_NE(std::string(fault.what()).find(description), std::string::npos) << fault.what();
}

struct TSetsOnExit {
    bool& Flag;
    ~TSetsOnExit() { Flag = true; }
};

__attribute__((noinline)) int FaultWithCleanup(bool& cleaned)
{
    TSetsOnExit owner{cleaned};
    return ReadThrough(NullPointer);
}

}  // namespace

TEST(HardwareFault, ANullReadBecomesAnExceptionAndUnwindsTheFrames)
{
    THardwareFaultGuard guard;
    bool cleaned = false;
    try {
        FaultWithCleanup(cleaned);
        FAIL() << "no fault";
    } catch (const EHardwareFault& fault) {
        ExpectFault(fault, EXCEPTION_ACCESS_VIOLATION, "access violation reading address 0x");
    }
    EXPECT_TRUE(cleaned) << "the destructor of the faulting call's frame ran";
    // The thread goes on normally, and a second fault is caught the same way.
    EXPECT_THROW(ReadThrough(LowPointer), EHardwareFault);
}

TEST(HardwareFault, IntegerDivisionByZero)
{
    THardwareFaultGuard guard;
    try {
        Divide(7, 0);
        FAIL() << "no fault";
    } catch (const EHardwareFault& fault) {
        ExpectFault(fault, EXCEPTION_INT_DIVIDE_BY_ZERO, "integer division by zero");
    }
}

TEST(HardwareFault, GuardsNestAndOrdinaryExceptionsPassThrough)
{
    THardwareFaultGuard outer;
    {
        THardwareFaultGuard inner;
        EXPECT_THROW(ReadThrough(NullPointer), EHardwareFault);
    }
    EXPECT_THROW(ReadThrough(NullPointer), EHardwareFault);  // the outer guard still holds
    EXPECT_THROW(throw std::runtime_error("plain"), std::runtime_error);
}

TEST(HardwareFault, Descriptions)
{
    EXPECT_EQ(DescribeFault(EXCEPTION_INT_DIVIDE_BY_ZERO, 0, 0), L"integer division by zero");
    EXPECT_EQ(DescribeFault(EXCEPTION_ACCESS_VIOLATION, 1, 0x10).rfind(L"access violation writing address 0x", 0), 0u);
    EXPECT_EQ(DescribeFault(EXCEPTION_IN_PAGE_ERROR, 0, 0).rfind(L"in-page error reading address 0x", 0), 0u);
    EXPECT_TRUE(IsHardwareFaultCode(EXCEPTION_ACCESS_VIOLATION));
    EXPECT_FALSE(IsHardwareFaultCode(EXCEPTION_STACK_OVERFLOW));
    EXPECT_FALSE(IsHardwareFaultCode(0x20474343));  // a C++ exception in flight
}
