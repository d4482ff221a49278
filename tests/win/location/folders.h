// File-system set-up for the location tests.
#pragma once
#include <windows.h>

#include <string>

#include "tests/support/benchutil.h"

namespace folders {

inline std::string current_directory()
{
    char path[MAX_PATH * 2];
    DWORD length = GetCurrentDirectoryA(sizeof path, path);
    return std::string(path, length < sizeof path ? length : 0);
}

inline bool is_folder(const std::string& path)
{
    DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

inline bool exists(const std::string& path)
{
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

inline bool make_file(const std::string& path)
{
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    CloseHandle(file);
    return true;
}

// Wine reads a Unix folder without write permission as read only (it
// ignores FILE_ATTRIBUTE_READONLY set on a folder), so the permission is
// changed on the Unix side.
inline bool set_folder_writable(const std::string& path, bool writable)
{
    typedef char*(CDECL * UnixName)(LPCWSTR);
    UnixName unix_name =
        (UnixName)GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name");
    if (unix_name == NULL)
        return false;
    wchar_t wide[MAX_PATH];
    MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, wide, MAX_PATH);
    char* unixPath = unix_name(wide);
    if (unixPath == NULL)
        return false;
    std::string command = std::string("/bin/chmod ") + (writable ? "u+w" : "a-w") + " \"" +
                          unixPath + "\"";
    HeapFree(GetProcessHeap(), 0, unixPath);
    // Wine does not wait for a Unix program it starts: watch for the change.
    run_and_wait(command, 10000);
    for (int tries = 0; tries < 500; ++tries) {
        bool readOnly = (GetFileAttributesA(path.c_str()) & FILE_ATTRIBUTE_READONLY) != 0;
        if (readOnly != writable)
            return true;
        Sleep(10);
    }
    return false;
}

} // namespace folders
