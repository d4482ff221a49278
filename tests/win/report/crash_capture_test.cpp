// The crash report itself: exception names, the four report values, the
// report body, the removal of the report key, and the filter's refusal of
// exception pointers it cannot read.
#include <gtest/gtest.h>
#include <string.h>
#include <windows.h>
#include <shlwapi.h>

#include <string>

#include "report/crash_filter.h"
#include "report/upload.h"
#include "setup/state.h"
#include "tests/support/benchutil.h"
#include "tests/support/files.h"
#include "tests/support/robot.h"
#include "tests/win/report/report_key.h"

namespace {

using namespace report_key;

const char kAccessViolationBody[] =
    "log=INSTALLER ERROR%0A%0DEXCEPTION_ACCESS_VIOLATION%0A%0Dat 00000ABC%0A%0D"
    "Build: 043%0A%0D";

EXCEPTION_RECORD make_record(DWORD code, ULONG_PTR address)
{
    EXCEPTION_RECORD record = {};
    record.ExceptionCode = code;
    record.ExceptionAddress = (void*)address;
    return record;
}

class CrashCaptureTest : public testing::Test {
protected:
    void SetUp() override
    {
        strcpy(g_setup.reportKeyPath, kReportPath);
        SHDeleteKeyA(HKEY_CURRENT_USER, "Software\\Tervick");
    }
};

// Each kind of fault, raised in a process of its own (report_fault_probe:
// for real where Wine can raise it, else with RaiseException), gets the
// name of the system's code for it.
TEST(ExceptionNaming, NamesEachFaultAsTheSystemRaisesIt)
{
    const struct {
        const char* kind;
        const char* name;
    } faults[] = {
        {"access", "EXCEPTION_ACCESS_VIOLATION"},
        {"int_divide", "EXCEPTION_INT_DIVIDE_BY_ZERO"},
        {"int_overflow", "EXCEPTION_INT_OVERFLOW"},
        {"breakpoint", "EXCEPTION_BREAKPOINT"},
        {"single_step", "EXCEPTION_SINGLE_STEP"},
        {"illegal", "EXCEPTION_ILLEGAL_INSTRUCTION"},
        {"privileged", "EXCEPTION_PRIV_INSTRUCTION"},
        {"bounds", "EXCEPTION_ARRAY_BOUNDS_EXCEEDED"},
        {"misaligned", "EXCEPTION_DATATYPE_MISALIGNMENT"},
        {"stack", "EXCEPTION_STACK_OVERFLOW"},
        {"flt_divide", "EXCEPTION_FLT_DIVIDE_BY_ZERO"},
        {"flt_invalid", "EXCEPTION_FLT_INVALID_OPERATION"},
        {"flt_overflow", "EXCEPTION_FLT_OVERFLOW"},
        {"flt_underflow", "EXCEPTION_FLT_UNDERFLOW"},
        {"flt_inexact", "EXCEPTION_FLT_INEXACT_RESULT"},
        {"flt_denormal", "EXCEPTION_FLT_DENORMAL_OPERAND"},
        {"flt_stack", "EXCEPTION_FLT_STACK_CHECK"},
        {"in_page", "EXCEPTION_IN_PAGE_ERROR"},
        {"invalid_disposition", "EXCEPTION_INVALID_DISPOSITION"},
        {"noncontinuable", "EXCEPTION_NONCONTINUABLE_EXCEPTION"},
    };
    char temp[MAX_PATH];
    ASSERT_NE(0u, GetTempPathA(MAX_PATH, temp));
    for (const auto& fault : faults) {
        std::string output = std::string(temp) + "fault-" + fault.kind + ".txt";
        DeleteFileA(output.c_str());
        std::string command = "\"" + sibling_path("report_fault_probe.exe") + "\" " +
                              fault.kind + " \"" + output + "\"";
        int code = run_and_wait(command, 60000);
        bool written = false;
        std::string name = read_file(output, &written);
        EXPECT_TRUE(written) << fault.kind << ": no fault reached the filter (exit " << code << ")";
        EXPECT_EQ(fault.name, name) << fault.kind;
    }
}

// Codes that are no fault of the list: neighbours of its codes, C++
// exceptions, guard pages, zero.
TEST(ExceptionNaming, NamesNothingElse)
{
    for (DWORD code : {0x00000000u, 0x80000001u, 0xC0000001u, 0xC0000007u, 0xC00000FCu,
                       0xC0000097u, 0xE06D7363u, 0x40010005u, 0xFFFFFFFFu})
        EXPECT_STREQ("<UNKNOWN ERROR>", exception_name(code)) << std::hex << code;
}

TEST_F(CrashCaptureTest, StoresTheFourValuesAndBuildsTheSameReportAsBody)
{
    EXCEPTION_RECORD record = make_record(EXCEPTION_ACCESS_VIOLATION, 0xABC);
    memset(g_reportBody, 'x', sizeof g_reportBody - 1);  // rebuilt from its start
    write_crash_report(&record);

    EXPECT_EQ("INSTALLER ERROR", report_value("log00"));
    EXPECT_EQ("EXCEPTION_ACCESS_VIOLATION", report_value("log01"));
    EXPECT_EQ("at 00000ABC", report_value("log02"));
    EXPECT_EQ("Build: 043", report_value("log03"));
    EXPECT_STREQ(kAccessViolationBody, g_reportBody);

    // A second crash report replaces the first one entirely.
    record = make_record(0x12345678, 0xFFFFFFFF);
    write_crash_report(&record);
    EXPECT_EQ("<UNKNOWN ERROR>", report_value("log01"));
    EXPECT_EQ("at FFFFFFFF", report_value("log02"));
    EXPECT_STREQ("log=INSTALLER ERROR%0A%0D<UNKNOWN ERROR>%0A%0Dat FFFFFFFF%0A%0D"
                 "Build: 043%0A%0D",
                 g_reportBody);
}

TEST_F(CrashCaptureTest, LongestNameGivesTheLongestBody)
{
    EXCEPTION_RECORD record = make_record(EXCEPTION_NONCONTINUABLE_EXCEPTION, 0x7FFE1234);
    write_crash_report(&record);
    EXPECT_EQ("at 7FFE1234", report_value("log02"));
    EXPECT_EQ(98u, strlen(g_reportBody));
}

TEST_F(CrashCaptureTest, UnwritableReportKeyStillGivesTheBody)
{
    ReadOnlyKey readOnly(HKEY_CURRENT_USER, kReportPath);
    ASSERT_EQ(0, readOnly.status());
    EXCEPTION_RECORD record = make_record(EXCEPTION_ACCESS_VIOLATION, 0xABC);
    write_crash_report(&record);
    EXPECT_EQ("<missing>", report_value("log00"));
    EXPECT_EQ("<missing>", report_value("log03"));
    EXPECT_STREQ(kAccessViolationBody, g_reportBody);
}

TEST_F(CrashCaptureTest, RemovalDeletesTheReportKeyAndKeepsItsParent)
{
    EXCEPTION_RECORD record = make_record(EXCEPTION_BREAKPOINT, 0x401000);
    write_crash_report(&record);
    HKEY settings;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyA(HKEY_CURRENT_USER, "Software\\Tervick\\Veltranox\\Settings",
                                           &settings));
    RegCloseKey(settings);
    ASSERT_TRUE(key_exists(HKEY_CURRENT_USER, kReportPath));

    remove_report_key();
    EXPECT_FALSE(key_exists(HKEY_CURRENT_USER, kReportPath));
    EXPECT_TRUE(key_exists(HKEY_CURRENT_USER, kParentPath));
    EXPECT_TRUE(key_exists(HKEY_CURRENT_USER, "Software\\Tervick\\Veltranox\\Settings"));

    // Without a report key, and even without its parent, removal leaves the
    // parent in place.
    SHDeleteKeyA(HKEY_CURRENT_USER, "Software\\Tervick");
    remove_report_key();
    EXPECT_FALSE(key_exists(HKEY_CURRENT_USER, kReportPath));
    EXPECT_TRUE(key_exists(HKEY_CURRENT_USER, kParentPath));
}

TEST_F(CrashCaptureTest, FilterDoesNothingWithPointersItCannotRead)
{
    robot::Robot robot;  // answers any box, so that a wrong one is seen
    robot.start();
    strcpy(g_reportBody, "untouched");

    EXPECT_EQ(EXCEPTION_CONTINUE_SEARCH, crash_filter(NULL));

    void* page = VirtualAlloc(NULL, 4096, MEM_COMMIT | MEM_RESERVE, PAGE_NOACCESS);
    ASSERT_NE(nullptr, page);
    EXPECT_EQ(EXCEPTION_CONTINUE_SEARCH, crash_filter((EXCEPTION_POINTERS*)page));
    // The pointers' last bytes lie on the unreadable page.
    char* readable = (char*)VirtualAlloc(NULL, 8192, MEM_RESERVE, PAGE_NOACCESS);
    ASSERT_NE(nullptr, readable);
    ASSERT_NE(nullptr, VirtualAlloc(readable, 4096, MEM_COMMIT, PAGE_READWRITE));
    EXPECT_EQ(EXCEPTION_CONTINUE_SEARCH,
              crash_filter((EXCEPTION_POINTERS*)(readable + 4096 - 4)));

    // Readable pointers that lead to no exception record.
    CONTEXT context = {};
    EXCEPTION_POINTERS noRecord = {NULL, &context};
    EXPECT_EQ(EXCEPTION_CONTINUE_SEARCH, crash_filter(&noRecord));
    EXCEPTION_POINTERS badRecord = {(EXCEPTION_RECORD*)page, &context};
    EXPECT_EQ(EXCEPTION_CONTINUE_SEARCH, crash_filter(&badRecord));

    robot.scan();
    EXPECT_EQ(0u, robot.notice_count());
    EXPECT_FALSE(key_exists(HKEY_CURRENT_USER, kReportPath));
    EXPECT_STREQ("untouched", g_reportBody);
    VirtualFree(page, 0, MEM_RELEASE);
    VirtualFree(readable, 0, MEM_RELEASE);
}

}  // namespace
