/* A program that only carries a version block: the installed main program
   of an earlier (or later) release, as far as the version check sees it. */
#include <windows.h>

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR commandLine, int show)
{
    return 0;
}
