#include "handoff.h"

#include <windows.h>
#include <string.h>

#include "common/path.h"
#include "common/system_library.h"

namespace {

// What follows the copy's quoted path on its command line, then the handle
// in decimal: nothing else may be there.
const char kAfterSwitch[] = " /after ";
// The handle's value fits in 32 bits: ten digits at most.
enum { kMostHandleDigits = 10 };

struct HandleGuard {
    HANDLE handle;
    ~HandleGuard()
    {
        if (handle != NULL && handle != INVALID_HANDLE_VALUE)
            CloseHandle(handle);
    }
};

// The command line after the program's own first argument, read the way
// the C runtime reads it: a quoted path runs to the closing quote, another
// to the first blank.
const char* after_program_name(const char* commandLine)
{
    const char* at = commandLine;
    if (*at == '"') {
        at = strchr(at + 1, '"');
        return at != NULL ? at + 1 : NULL;
    }
    while (*at != '\0' && *at != ' ' && *at != '\t')
        ++at;
    return at;
}

// The handle of "/after <handle>" when the arguments are exactly that.
bool read_after_switch(const char* arguments, unsigned long* value)
{
    size_t switchLength = sizeof kAfterSwitch - 1;
    if (arguments == NULL || strncmp(arguments, kAfterSwitch, switchLength) != 0)
        return false;
    const char* digits = arguments + switchLength;
    size_t count = 0;
    unsigned long long number = 0;
    for (; digits[count] >= '0' && digits[count] <= '9'; ++count) {
        if (count == kMostHandleDigits)
            return false;
        number = number * 10 + (unsigned)(digits[count] - '0');
    }
    if (count == 0 || digits[count] != '\0' || number > 0xFFFFFFFFull)
        return false;
    *value = (unsigned long)number;
    return true;
}

// Whether handle is one of this process's handles to another process.
// GetProcessId is looked up at run time (Windows XP SP1 and later); where
// it is missing, nothing counts as a process handle.
bool is_other_process(HANDLE handle)
{
    typedef DWORD(WINAPI * GetProcessIdFunction)(HANDLE);
    GetProcessIdFunction processId = library_entry<GetProcessIdFunction>(
        GetModuleHandleA("kernel32.dll"), "GetProcessId");
    if (processId == NULL)
        return false;
    DWORD id = processId(handle);
    return id != 0 && id != GetCurrentProcessId();
}

} // namespace

bool hand_over_to_copy(const char* self)
{
    PathBuffer temp, copy;
    DWORD length = GetTempPathA(kPathSize, temp);
    if (length == 0 || length >= kPathSize || GetTempFileNameA(temp, "vcu", 0, copy) == 0)
        return false;
    if (!CopyFileA(self, copy, FALSE)) {
        DeleteFileA(copy);
        return false;
    }

    HandleGuard original = {NULL};
    if (!DuplicateHandle(GetCurrentProcess(), GetCurrentProcess(), GetCurrentProcess(),
                         &original.handle, SYNCHRONIZE | PROCESS_QUERY_INFORMATION, TRUE,
                         0)) {
        original.handle = NULL;
        DeleteFileA(copy);
        return false;
    }
    char commandLine[kPathSize + 32];
    wsprintfA(commandLine, "\"%s\"%s%lu", copy, kAfterSwitch,
              (unsigned long)(UINT_PTR)original.handle);
    STARTUPINFOA startup;
    memset(&startup, 0, sizeof startup);
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process;
    // The copy starts in the temp folder, so that it holds no folder of
    // the installation as its current directory.
    if (!CreateProcessA(copy, commandLine, NULL, NULL, TRUE, 0, NULL, temp, &startup, &process)) {
        DeleteFileA(copy);
        return false;
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return true;
}

bool wait_for_original(const char* commandLine)
{
    // Only the exact form hand_over_to_copy writes counts: a path that
    // holds the same words is no switch.
    unsigned long value = 0;
    if (!read_after_switch(after_program_name(commandLine), &value))
        return false;
    // A number that names no other process (a handle that was not
    // inherited, or this process itself) is no hand-over either; nothing is
    // waited on or closed then.
    HANDLE handle = (HANDLE)(UINT_PTR)value;
    if (!is_other_process(handle))
        return false;
    HandleGuard original = {handle};
    WaitForSingleObject(original.handle, 30000);
    return true;
}

void schedule_own_deletion(const char* self)
{
    MoveFileExA(self, NULL, MOVEFILE_DELAY_UNTIL_REBOOT);
}
