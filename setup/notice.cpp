#include "setup/notice.h"

#include <stdio.h>
#include <string.h>

#include "setup/state.h"

void error_notice(const char* text, const char* stepCode)
{
    char caption[kPathSize];
    wsprintfA(caption, "ERROR %s", stepCode);
    MessageBoxA(NULL, text, caption, MB_ICONERROR);
}

void system_error_notice(DWORD errorNumber, const char* stepCode)
{
    if (errorNumber == 0)
        return;
    char* text = NULL;
    // No argument list is passed, so insert sequences such as %1 are left
    // as they stand rather than read from arguments that do not exist.
    DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_ALLOCATE_BUFFER |
                                      FORMAT_MESSAGE_IGNORE_INSERTS,
                                  NULL, errorNumber, 0x400, (LPSTR)&text, 0, NULL);
    if (length == 0 || text == NULL) {
        char fallback[64];
        wsprintfA(fallback, "System error %lu (0x%08lX).",
                 (unsigned long)errorNumber, (unsigned long)errorNumber);
        error_notice(fallback, stepCode);
        return;
    }
    error_notice(text, stepCode);
    LocalFree(text);
}
