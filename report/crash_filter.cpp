#include "report/crash_filter.h"

#include <string.h>

#include "common/registry.h"
#include "report/report_config.h"
#include "report/upload.h"
#include "common/names.h"
#include "setup/state.h"

#ifndef SETUP_IMAGE_BASE
#error "SETUP_IMAGE_BASE: the programs' link-time base, from the build"
#endif

// The image this code is linked into, where the system loaded it.
extern "C" IMAGE_DOS_HEADER __ImageBase;

namespace {

struct ExceptionName {
    DWORD code;
    const char* name;
};

const ExceptionName kExceptionNames[] = {
    {0x80000002, "EXCEPTION_DATATYPE_MISALIGNMENT"},
    {0x80000003, "EXCEPTION_BREAKPOINT"},
    {0x80000004, "EXCEPTION_SINGLE_STEP"},
    {0xC0000005, "EXCEPTION_ACCESS_VIOLATION"},
    {0xC0000006, "EXCEPTION_IN_PAGE_ERROR"},
    {0xC000001D, "EXCEPTION_ILLEGAL_INSTRUCTION"},
    {0xC0000025, "EXCEPTION_NONCONTINUABLE_EXCEPTION"},
    {0xC0000026, "EXCEPTION_INVALID_DISPOSITION"},
    {0xC000008C, "EXCEPTION_ARRAY_BOUNDS_EXCEEDED"},
    {0xC000008D, "EXCEPTION_FLT_DENORMAL_OPERAND"},
    {0xC000008E, "EXCEPTION_FLT_DIVIDE_BY_ZERO"},
    {0xC000008F, "EXCEPTION_FLT_INEXACT_RESULT"},
    {0xC0000090, "EXCEPTION_FLT_INVALID_OPERATION"},
    {0xC0000091, "EXCEPTION_FLT_OVERFLOW"},
    {0xC0000092, "EXCEPTION_FLT_STACK_CHECK"},
    {0xC0000093, "EXCEPTION_FLT_UNDERFLOW"},
    {0xC0000094, "EXCEPTION_INT_DIVIDE_BY_ZERO"},
    {0xC0000095, "EXCEPTION_INT_OVERFLOW"},
    {0xC0000096, "EXCEPTION_PRIV_INSTRUCTION"},
    {0xC00000FD, "EXCEPTION_STACK_OVERFLOW"},
};

const char kReportTitle[] = "INSTALLER ERROR";
// A percent-encoded line feed and carriage return, in that order.
const char kLineEnd[] = "%0A%0D";

// Appends text to the report body; never writes past its end.
void append_to_body(const char* text)
{
    size_t used = strlen(g_reportBody);
    size_t room = kReportBodySize - 1 - used;
    size_t length = strlen(text);
    if (length > room)
        length = room;
    memcpy(g_reportBody + used, text, length);
    g_reportBody[used + length] = '\0';
}

// Stores one report line in the key (when it opened) and in the body.
void add_report_line(HKEY key, const char* valueName, const char* text)
{
    if (key != NULL)
        write_string_value(key, valueName, text);  // outcome not used
    append_to_body(text);
    append_to_body(kLineEnd);
}

}  // namespace

const char* exception_name(DWORD code)
{
    for (size_t i = 0; i < sizeof kExceptionNames / sizeof kExceptionNames[0]; ++i) {
        if (kExceptionNames[i].code == code)
            return kExceptionNames[i].name;
    }
    return "<UNKNOWN ERROR>";
}

DWORD address_at_link_base(const void* address, HMODULE image, DWORD linkBase)
{
    const BYTE* base = (const BYTE*)image;
    const IMAGE_NT_HEADERS* headers =
        (const IMAGE_NT_HEADERS*)(base + ((const IMAGE_DOS_HEADER*)base)->e_lfanew);
    // Below the base the difference wraps round to more than any image.
    DWORD offset = (DWORD)((const BYTE*)address - base);
    if (offset < headers->OptionalHeader.SizeOfImage)
        return linkBase + offset;
    return (DWORD)(ULONG_PTR)address;
}

void write_crash_report(const EXCEPTION_RECORD* record)
{
    HKEY key;
    if (open_key(HKEY_CURRENT_USER, g_setup.reportKeyPath, kKeyAccess, &key) != ERROR_SUCCESS)
        key = NULL;  // the report is still built and sent

    strcpy(g_reportBody, "log=");
    add_report_line(key, "log00", kReportTitle);
    add_report_line(key, "log01", exception_name(record->ExceptionCode));

    char line[128];
    // Windows loads the program at another base on every boot: an address
    // in its own code is given as it is at the link-time base, the same on
    // every machine, as the build's symbol file names it.
    wsprintfA(line, "at %08X",
              address_at_link_base(record->ExceptionAddress, (HMODULE)&__ImageBase,
                                   SETUP_IMAGE_BASE));
    add_report_line(key, "log02", line);
    wsprintfA(line, "Build: %03u", (unsigned)kBuildNumber);
    add_report_line(key, "log03", line);

    if (key != NULL)
        RegCloseKey(key);
}

void remove_report_key()
{
    char parentPath[128];
    strcpy(parentPath, PRODUCT_KEY_PATH);
    HKEY parent;
    if (open_key(HKEY_CURRENT_USER, parentPath, kKeyAccess, &parent) != ERROR_SUCCESS)
        return;
    RegDeleteKeyA(parent, REPORT_KEY_NAME);  // outcome not used
    RegCloseKey(parent);
}

LONG WINAPI crash_filter(EXCEPTION_POINTERS* pointers)
{
    // Nothing to report from pointers that cannot be read. The record they
    // lead to is read below, so it must be readable as well.
    if (pointers == NULL || IsBadReadPtr(pointers, sizeof *pointers) ||
        IsBadReadPtr(pointers->ExceptionRecord, sizeof *pointers->ExceptionRecord))
        return EXCEPTION_CONTINUE_SEARCH;

    MessageBoxA(NULL, "An unknown error has occured -- installation aborted", "Error Notice",
                MB_OK);

    write_crash_report(pointers->ExceptionRecord);
    while (!report_upload())
        Sleep(kReportRetryMs);
    remove_report_key();
    return EXCEPTION_CONTINUE_SEARCH;
}
