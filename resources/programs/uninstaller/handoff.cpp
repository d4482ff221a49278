#include "handoff.h"

#include <windows.h>
#include <string.h>

#include "setup/state.h"

namespace {

const char kAfterSwitch[] = " /after ";

struct HandleGuard {
    HANDLE handle;
    ~HandleGuard()
    {
        if (handle != NULL && handle != INVALID_HANDLE_VALUE)
            CloseHandle(handle);
    }
};

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
                         &original.handle, SYNCHRONIZE, TRUE, 0)) {
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
    const char* at = strstr(commandLine, kAfterSwitch);
    if (at == NULL)
        return false;
    unsigned long value = 0;
    for (const char* digit = at + sizeof kAfterSwitch - 1; *digit >= '0' && *digit <= '9';
         ++digit)
        value = value * 10 + (unsigned long)(*digit - '0');
    HandleGuard original = {(HANDLE)(UINT_PTR)value};
    if (original.handle != NULL)
        WaitForSingleObject(original.handle, 30000);
    return true;
}

void schedule_own_deletion(const char* self)
{
    MoveFileExA(self, NULL, MOVEFILE_DELAY_UNTIL_REBOOT);
}
