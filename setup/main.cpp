#include <windows.h>

#include "setup/sequence.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    return run_setup(instance);
}
