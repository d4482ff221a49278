// Loads a DLL into a process that was created suspended, before its first
// instruction: the DLL's path is written into the process and a thread of
// its own runs LoadLibraryA on it. The caller resumes the main thread.
// Shared by the walk's driver and by the injector, which follows the
// processes that the program under test starts.
#pragma once
#include <windows.h>

#include <string.h>

inline bool load_into(HANDLE process, const char* dllPath)
{
    SIZE_T size = strlen(dllPath) + 1;
    void* remote = VirtualAllocEx(process, NULL, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    if (remote == NULL)
        return false;
    bool loaded = false;
    // kernel32 sits at the same address in every process of a session.
    FARPROC loadLibrary = GetProcAddress(GetModuleHandleA("kernel32.dll"), "LoadLibraryA");
    if (WriteProcessMemory(process, remote, dllPath, size, NULL)) {
        HANDLE thread = CreateRemoteThread(process, NULL, 0, (LPTHREAD_START_ROUTINE)loadLibrary,
                                           remote, 0, NULL);
        if (thread != NULL) {
            DWORD module = 0;
            loaded = WaitForSingleObject(thread, 30000) == WAIT_OBJECT_0 &&
                     GetExitCodeThread(thread, &module) && module != 0;
            CloseHandle(thread);
        }
    }
    VirtualFreeEx(process, remote, 0, MEM_RELEASE);
    return loaded;
}
