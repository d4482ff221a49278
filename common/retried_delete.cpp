#include "common/retried_delete.h"

#include <windows.h>

bool retried_delete(const char* path)
{
    for (int attempt = 0; attempt < kDeleteAttempts; ++attempt) {
        SetFileAttributesA(path, FILE_ATTRIBUTE_NORMAL);
        if (DeleteFileA(path))
            return true;
        DWORD error = GetLastError();
        Sleep(kDeleteRetryDelay);
        SetLastError(error);
    }
    return false;
}
