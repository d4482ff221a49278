/* A DLL planted beside a program under the name of a system library. When
   anything loads it, it leaves "<its own path>.loaded" holding the loading
   program's path, and refuses to stay loaded. */
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved)
{
    char marker[MAX_PATH + 8], program[MAX_PATH];
    DWORD length, programLength, written;
    HANDLE file;
    (void)reserved;
    if (reason != DLL_PROCESS_ATTACH)
        return TRUE;
    length = GetModuleFileNameA(instance, marker, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return FALSE;
    lstrcpyA(marker + length, ".loaded");
    programLength = GetModuleFileNameA(NULL, program, MAX_PATH);
    file = CreateFileA(marker, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL);
    if (file != INVALID_HANDLE_VALUE) {
        WriteFile(file, program, programLength < MAX_PATH ? programLength : 0, &written, NULL);
        CloseHandle(file);
    }
    return FALSE;
}
