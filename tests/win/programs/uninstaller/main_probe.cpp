// Stands in for the installed main program. Started without arguments (as
// the setup program starts it) it ends at once and leaves no trace. With
// "--stay" it signals the event "VeltranoxProbeRunning" and runs until the
// event "VeltranoxProbeRelease" is set, or for at most 60 s.
#include <windows.h>

#include <string.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR commandLine, int)
{
    if (strstr(commandLine, "--stay") == NULL)
        return 0;
    HANDLE release = CreateEventA(NULL, TRUE, FALSE, "VeltranoxProbeRelease");
    HANDLE running = CreateEventA(NULL, TRUE, FALSE, "VeltranoxProbeRunning");
    SetEvent(running);
    WaitForSingleObject(release, 60000);
    CloseHandle(running);
    CloseHandle(release);
    return 0;
}
