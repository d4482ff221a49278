// Test helper: holds a file open the way another program would, so that
// our exclusive opens meet a sharing violation.
//
// usage: hold_file PATH MILLISECONDS READY_EVENT [--wait] [--share-delete]
//   Opens PATH for reading, without sharing (or sharing delete only), sets
//   the named event READY_EVENT once the file is held, keeps it for
//   MILLISECONDS and exits 0. --wait keeps trying until the file exists and
//   is free, as a scanner that pounces on a new file would. Exit code 1:
//   bad arguments, 2: the file could not be opened.
#include <windows.h>
#include <stdlib.h>
#include <string.h>

int main(int argc, char** argv)
{
    if (argc < 4)
        return 1;
    const char* path = argv[1];
    DWORD holdMs = strtoul(argv[2], NULL, 10);
    bool wait = false;
    DWORD share = 0;
    for (int i = 4; i < argc; ++i) {
        if (strcmp(argv[i], "--wait") == 0)
            wait = true;
        else if (strcmp(argv[i], "--share-delete") == 0)
            share = FILE_SHARE_DELETE;
        else
            return 1;
    }
    HANDLE ready = CreateEventA(NULL, TRUE, FALSE, argv[3]);
    HANDLE file = INVALID_HANDLE_VALUE;
    // Waiting mode gives up after a minute so that a broken test ends.
    DWORD start = GetTickCount();
    for (;;) {
        file = CreateFileA(path, GENERIC_READ, share, NULL, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
        if (file != INVALID_HANDLE_VALUE || !wait || GetTickCount() - start > 60000)
            break;
        Sleep(1);
    }
    if (file == INVALID_HANDLE_VALUE)
        return 2;
    if (ready != NULL)
        SetEvent(ready);
    Sleep(holdMs);
    CloseHandle(file);
    return 0;
}
