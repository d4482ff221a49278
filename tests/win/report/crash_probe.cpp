// Starts the way the setup program does (key paths, error mode, crash
// filter), then crashes where nothing but the crash filter handles it:
//
//     report_crash_probe.exe          jumps to address 0xABC, where nothing
//                                     is mapped: a fault outside its image
//     report_crash_probe.exe inside   writes through a null pointer in
//                                     probe_crash_site, a function of its own
#include <windows.h>

#include <string.h>

#include "report/crash_filter.h"
#include "common/names.h"
#include "setup/state.h"

int* volatile g_nowhere = NULL;

__attribute__((noinline)) void probe_crash_site()
{
    *g_nowhere = 1;
}

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR commandLine, int)
{
    strcpy(g_setup.settingsKeyPath, "Software\\Tervick\\" PRODUCT_NAME "\\Settings");
    strcpy(g_setup.reportKeyPath, "Software\\Tervick\\" PRODUCT_NAME "\\report");
    SetErrorMode(SEM_NOGPFAULTERRORBOX);
    SetUnhandledExceptionFilter(crash_filter);

    if (strstr(commandLine, "inside") != NULL)
        probe_crash_site();
    void (*nowhere)() = (void (*)())(ULONG_PTR)0xABC;
    nowhere();
    return 7;  // never reached
}
