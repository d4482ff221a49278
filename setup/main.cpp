#include <windows.h>

#include "setup/sequence.h"
#include "common/system_library.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    // Before anything can load a library: none from the folder the
    // program was started from (often a downloads folder).
    restrict_dll_search();
    return run_setup(instance);
}
