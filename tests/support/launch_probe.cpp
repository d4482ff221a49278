// Stands in for the main program: records how it was started in
// "launch-record.txt" next to itself (current directory, show command,
// own path, one a line) and exits.
#include <windows.h>

#include <string.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    char self[MAX_PATH];
    DWORD length = GetModuleFileNameA(NULL, self, MAX_PATH);
    char directory[MAX_PATH];
    GetCurrentDirectoryA(MAX_PATH, directory);
    STARTUPINFOA startup;
    GetStartupInfoA(&startup);
    int show = (startup.dwFlags & STARTF_USESHOWWINDOW) ? startup.wShowWindow : -1;

    char record[3 * MAX_PATH + 32];
    wsprintfA(record, "%s\r\n%d\r\n%s\r\n", directory, show, self);
    char path[MAX_PATH + 32];
    lstrcpyA(path, self);
    char* slash = strrchr(path, '\\');
    lstrcpyA(slash ? slash + 1 : path, "launch-record.txt");
    // Written under another name and renamed, so a reader never sees half.
    char partial[MAX_PATH + 40];
    wsprintfA(partial, "%s.part", path);
    HANDLE file = CreateFileA(partial, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL);
    if (file == INVALID_HANDLE_VALUE)
        return 1;
    DWORD written;
    WriteFile(file, record, lstrlenA(record), &written, NULL);
    CloseHandle(file);
    MoveFileExA(partial, path, MOVEFILE_REPLACE_EXISTING);
    return length != 0 ? 0 : 1;
}
