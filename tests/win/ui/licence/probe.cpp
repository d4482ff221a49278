// Runs the licence dialog once, as the setup program does, and exits with
// its result. With the argument "backdrop" the backdrop window owns it.
#include <windows.h>

#include <string.h>

#include "setup/state.h"
#include "ui/backdrop.h"
#include "ui/licence_dialog.h"

int main(int argc, char** argv)
{
    g_setup.instance = GetModuleHandleA(NULL);
    if (argc > 1 && strcmp(argv[1], "backdrop") == 0)
        g_setup.backdropWindow = create_backdrop_window(g_setup.instance);
    return int(run_licence_dialog(g_setup.backdropWindow));
}
