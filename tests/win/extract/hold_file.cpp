// Test helper: holds a file open the way another program would, so that
// our exclusive opens meet a sharing violation.
//
// usage: hold_file PATH MILLISECONDS READY_EVENT [--share-delete]
//   Opens PATH for reading, without sharing (or sharing delete only), sets
//   the named event READY_EVENT once the file is held, and keeps it until
//   the named event READY_EVENT-release is set or MILLISECONDS have passed
//   (a bound for a test that never lets go), then exits 0. Exit code 1:
//   bad arguments, 2: the file could not be opened.
#include <windows.h>
#include <stdlib.h>
#include <string.h>

int main(int argc, char** argv)
{
    if (argc < 4 || lstrlenA(argv[3]) > MAX_PATH)
        return 1;
    const char* path = argv[1];
    DWORD holdMs = strtoul(argv[2], NULL, 10);
    DWORD share = 0;
    for (int i = 4; i < argc; ++i) {
        if (strcmp(argv[i], "--share-delete") == 0)
            share = FILE_SHARE_DELETE;
        else
            return 1;
    }
    char releaseName[MAX_PATH + 16];
    lstrcpyA(releaseName, argv[3]);
    lstrcatA(releaseName, "-release");
    HANDLE ready = CreateEventA(NULL, TRUE, FALSE, argv[3]);
    HANDLE release = CreateEventA(NULL, TRUE, FALSE, releaseName);
    HANDLE file = CreateFileA(path, GENERIC_READ, share, NULL, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE)
        return 2;
    if (ready != NULL)
        SetEvent(ready);
    if (release != NULL)
        WaitForSingleObject(release, holdMs);
    else
        Sleep(holdMs);
    CloseHandle(file);
    return 0;
}
