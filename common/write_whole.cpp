#include "common/write_whole.h"

int write_whole(HANDLE file, const void* bytes, DWORD count)
{
    const BYTE* at = static_cast<const BYTE*>(bytes);
    while (count != 0) {
        DWORD written = 0;
        // A failure that sets no error must not show an older one.
        SetLastError(ERROR_SUCCESS);
        BOOL ok = WriteFile(file, at, count, &written, NULL);
        if (!ok || written == 0) {
            if (ok || GetLastError() == ERROR_SUCCESS)
                SetLastError(ERROR_WRITE_FAULT);
            return 0;
        }
        at += written;
        count -= written;
    }
    return 1;
}
