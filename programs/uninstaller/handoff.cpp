#include "handoff.h"

#include <windows.h>
#include <string.h>

#include "ownership.h"
#include "common/path.h"
#include "common/private_temp.h"
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

// Starts copy with "/after <handle>", a handle of this process that the
// copy inherits, in folder (so that it holds no folder of the installation
// as its current directory).
bool start_copy(const char* copy, const char* folder)
{
    HandleGuard original = {NULL};
    if (!DuplicateHandle(GetCurrentProcess(), GetCurrentProcess(), GetCurrentProcess(),
                         &original.handle, SYNCHRONIZE | PROCESS_QUERY_INFORMATION, TRUE,
                         0)) {
        original.handle = NULL;
        return false;
    }
    char commandLine[kPathSize + 32];
    wsprintfA(commandLine, "\"%s\"%s%lu", copy, kAfterSwitch,
              (unsigned long)(UINT_PTR)original.handle);
    STARTUPINFOA startup;
    memset(&startup, 0, sizeof startup);
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process;
    if (!CreateProcessA(copy, commandLine, NULL, NULL, TRUE, 0, NULL, folder, &startup,
                        &process))
        return false;
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return true;
}

} // namespace

bool hand_over_to_copy(const char* self)
{
    PathBuffer temp, folder, copy;
    DWORD length = GetTempPathA(kPathSize, temp);
    if (length == 0 || length >= kPathSize)
        return false;
    // An elevated uninstaller puts its copy where only administrators can
    // write; the temp folder is open to every program of the user.
    const char* parent = temp;
    folder[0] = '\0';
    if (process_is_elevated()) {
        if (!create_private_folder(temp, folder))
            return false;
        parent = folder;
    }
    bool started = false;
    if (GetTempFileNameA(parent, "vcu", 0, copy) != 0) {
        {
            // Checked as it lies on disk, and held without write or delete
            // sharing from the check until the copy runs: nothing can
            // change, replace or rename it in between. The loader's own open
            // (read access, read and delete shared) still succeeds.
            HandleGuard held = {INVALID_HANDLE_VALUE};
            if (CopyFileA(self, copy, FALSE))
                held.handle =
                    CreateFileA(copy, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, 0, NULL);
            // Its deletion at the next start is asked for here as well as
            // by the copy itself: should either fail, nothing is left in a
            // folder that no later run knows.
            started = held.handle != INVALID_HANDLE_VALUE && same_bytes(self, held.handle) &&
                      (schedule_own_deletion(copy), start_copy(copy, temp));
        }
        if (!started)
            DeleteFileA(copy);
    }
    if (!started && folder[0] != '\0')
        remove_private_folder(folder);
    return started;
}

bool wait_for_original(const char* commandLine, char* originalFile)
{
    originalFile[0] = '\0';
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
    // Asked while it still runs. QueryFullProcessImageNameA is looked up
    // at run time (Windows Vista and later); where it is missing the
    // original's file stays unknown.
    typedef BOOL(WINAPI * ImageNameFunction)(HANDLE, DWORD, LPSTR, PDWORD);
    ImageNameFunction imageName = library_entry<ImageNameFunction>(
        GetModuleHandleA("kernel32.dll"), "QueryFullProcessImageNameA");
    DWORD size = kPathSize;
    if (imageName == NULL || !imageName(original.handle, 0, originalFile, &size) ||
        size >= kPathSize)
        originalFile[0] = '\0';
    WaitForSingleObject(original.handle, 30000);
    return true;
}

void schedule_own_deletion(const char* self)
{
    MoveFileExA(self, NULL, MOVEFILE_DELAY_UNTIL_REBOOT);
    // An elevated original made the copy's folder for it alone; it goes
    // right after the copy.
    if (!process_is_elevated())
        return;
    PathBuffer folder;
    lstrcpynA(folder, self, kPathSize);
    char* name = (char*)path_file_name(folder);
    if (name > folder + 3) {
        name[-1] = '\0';
        MoveFileExA(folder, NULL, MOVEFILE_DELAY_UNTIL_REBOOT);
    }
}
