// vcluins1: the Veltranox 2003 uninstaller. This build only introduces
// itself; removing an installation is not in it yet.
#include <windows.h>

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    char caption[64], text[512];
    LoadStringA(instance, 1, caption, sizeof(caption));
    LoadStringA(instance, 2, text, sizeof(text));
    MessageBoxA(NULL, text, caption, MB_OK | MB_ICONINFORMATION);
    return 0;
}
