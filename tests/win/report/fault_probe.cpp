// Raises one fault and writes the name a crash report gives it, as the
// crash filter's naming sees the code the system delivered:
//
//     report_fault_probe.exe KIND OUTPUT
//
// Each fault is raised for real by the instruction that causes it. Those
// that Wine cannot raise from user code (an in-page error, a handler's
// invalid disposition, continuing a non-continuable exception, and a
// misaligned read where alignment is not checked) are raised with
// RaiseException and the system's code for them.
#include <windows.h>

#include <string.h>

#include "report/crash_filter.h"

namespace {

const char* g_output = "";

LONG WINAPI record_name(EXCEPTION_POINTERS* pointers)
{
    const char* name = exception_name(pointers->ExceptionRecord->ExceptionCode);
    HANDLE file = CreateFileA(g_output, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL);
    DWORD written = 0;
    WriteFile(file, name, lstrlenA(name), &written, NULL);
    CloseHandle(file);
    ExitProcess(0);
}

// Clears pending x87 exceptions and unmasks those in `bits` (the control
// word's mask bits: 0x01 invalid, 0x02 denormal, 0x04 zero divide,
// 0x08 overflow, 0x10 underflow, 0x20 precision).
void unmask_x87(unsigned short bits)
{
    unsigned short control = 0x037F & ~bits;
    asm volatile("fnclex\n\tfldcw %0" : : "m"(control));
}

__attribute__((noinline)) int recurse(int depth)
{
    volatile char block[4096];
    block[0] = char(depth);
    return recurse(depth + 1) + block[0];
}

volatile double g_one = 1.0, g_zero = 0.0, g_three = 3.0, g_minusOne = -1.0;
volatile double g_huge = 1e308, g_tiny = 1e-308, g_denormal = 1e-310, g_result;
int g_limits[2] = {0, 1};
volatile char g_bytes[8];

void raise_fault(const char* kind)
{
    if (strcmp(kind, "access") == 0) {
        *(volatile int*)NULL = 1;
    } else if (strcmp(kind, "int_divide") == 0) {
        // In assembly: the compiler turns 1 / x into a comparison.
        asm volatile("movl $1, %%eax\n\tcltd\n\txorl %%ecx, %%ecx\n\tidivl %%ecx"
                     : : : "eax", "ecx", "edx", "cc");
    } else if (strcmp(kind, "int_overflow") == 0) {
        asm volatile("movl $0x7fffffff, %%eax\n\taddl $1, %%eax\n\tinto" : : : "eax", "cc");
    } else if (strcmp(kind, "breakpoint") == 0) {
        asm volatile("int3");
    } else if (strcmp(kind, "single_step") == 0) {
        asm volatile("pushfl\n\torl $0x100, (%%esp)\n\tpopfl\n\tnop" : : : "cc", "memory");
    } else if (strcmp(kind, "illegal") == 0) {
        asm volatile("ud2");
    } else if (strcmp(kind, "privileged") == 0) {
        asm volatile("hlt");
    } else if (strcmp(kind, "bounds") == 0) {
        // bound %eax, (%edx): 5 is outside [0, 1].
        asm volatile("movl $5, %%eax\n\t.byte 0x62, 0x02" : : "d"(g_limits) : "eax", "memory");
    } else if (strcmp(kind, "misaligned") == 0) {
        // Alignment checking on (EFLAGS.AC), then a read across a boundary.
        asm volatile("pushfl\n\torl $0x40000, (%%esp)\n\tpopfl" : : : "cc");
        volatile int value = *(volatile int*)(g_bytes + 1);
        (void)value;
        asm volatile("pushfl\n\tandl $~0x40000, (%%esp)\n\tpopfl" : : : "cc");
        // Where the system does not check alignment in user code (Linux
        // leaves it off under Wine), the code is raised instead.
        RaiseException(EXCEPTION_DATATYPE_MISALIGNMENT, 0, 0, NULL);
    } else if (strcmp(kind, "stack") == 0) {
        recurse(0);
    } else if (strcmp(kind, "flt_divide") == 0) {
        unmask_x87(0x04);
        asm volatile("fldl %1\n\tfdivl %2\n\tfstpl %0\n\tfwait"
                     : "=m"(g_result) : "m"(g_one), "m"(g_zero));
    } else if (strcmp(kind, "flt_invalid") == 0) {
        unmask_x87(0x01);
        asm volatile("fldl %1\n\tfsqrt\n\tfstpl %0\n\tfwait" : "=m"(g_result) : "m"(g_minusOne));
    } else if (strcmp(kind, "flt_overflow") == 0) {
        unmask_x87(0x08);
        asm volatile("fldl %1\n\tfmul %%st(0), %%st\n\tfstpl %0\n\tfwait"
                     : "=m"(g_result) : "m"(g_huge));
    } else if (strcmp(kind, "flt_underflow") == 0) {
        unmask_x87(0x10);
        asm volatile("fldl %1\n\tfmul %%st(0), %%st\n\tfstpl %0\n\tfwait"
                     : "=m"(g_result) : "m"(g_tiny));
    } else if (strcmp(kind, "flt_inexact") == 0) {
        unmask_x87(0x20);
        asm volatile("fldl %1\n\tfdivl %2\n\tfstpl %0\n\tfwait"
                     : "=m"(g_result) : "m"(g_one), "m"(g_three));
    } else if (strcmp(kind, "flt_denormal") == 0) {
        unmask_x87(0x02);
        asm volatile("fldl %1\n\tfstpl %0\n\tfwait" : "=m"(g_result) : "m"(g_denormal));
    } else if (strcmp(kind, "flt_stack") == 0) {
        // Nine pushes onto the eight registers of the x87 stack.
        unmask_x87(0x01);
        asm volatile("fld1\n\tfld1\n\tfld1\n\tfld1\n\tfld1\n\tfld1\n\tfld1\n\tfld1\n\tfld1\n\t"
                     "fwait");
    } else if (strcmp(kind, "in_page") == 0) {
        RaiseException(EXCEPTION_IN_PAGE_ERROR, 0, 0, NULL);
    } else if (strcmp(kind, "invalid_disposition") == 0) {
        RaiseException(EXCEPTION_INVALID_DISPOSITION, 0, 0, NULL);
    } else if (strcmp(kind, "noncontinuable") == 0) {
        RaiseException(EXCEPTION_NONCONTINUABLE_EXCEPTION, 0, 0, NULL);
    }
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 3)
        return 2;
    g_output = argv[2];
    SetErrorMode(SEM_NOGPFAULTERRORBOX);
    SetUnhandledExceptionFilter(record_name);
    raise_fault(argv[1]);
    return 1;  // the fault was not raised
}
