// Starts the way the setup program does (key paths, error mode, crash
// filter), then jumps to address 0xABC, where nothing is mapped: an access
// violation at a known address that nothing but the crash filter handles.
#include <windows.h>

#include <string.h>

#include "report/crash_filter.h"
#include "common/names.h"
#include "setup/state.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    strcpy(g_setup.settingsKeyPath, "Software\\Tervick\\" PRODUCT_NAME "\\Settings");
    strcpy(g_setup.reportKeyPath, "Software\\Tervick\\" PRODUCT_NAME "\\report");
    SetErrorMode(SEM_NOGPFAULTERRORBOX);
    SetUnhandledExceptionFilter(crash_filter);

    void (*nowhere)() = (void (*)())(ULONG_PTR)0xABC;
    nowhere();
    return 7;  // never reached
}
