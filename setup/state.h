// The setup state: one process-wide record, zero-filled at start, read by
// every operation of the setup program and written where each field says.
#pragma once
#include <windows.h>

#include "common/path.h"

struct SetupState {
    HINSTANCE instance;            // the handle the program was entered with
    HWND backdropWindow;           // null when the backdrop could not be made
    PathBuffer settingsKeyPath;    // HKCU Software\Tervick\Veltranox\Settings
    PathBuffer reportKeyPath;      // HKCU Software\Tervick\Veltranox\report
    DWORD nolmaccess;              // 1: machine-wide values go to the settings key
    PathBuffer windowsDirectory;   // without trailing backslash; may be empty
    PathBuffer tempFolder;         // as the system gives it, or the install drive
    PathBuffer defaultParentFolder;
    DWORD previousInstallation;    // non-zero: Change... is disabled
    PathBuffer installFolder;
    char installDrive[3];          // "X:"
    PathBuffer mainProgramPath;    // install folder + "Veltranox.exe"
};

extern SetupState g_setup;

// The settings key: HKCU + settingsKeyPath.
LONG open_settings_key(HKEY* key);
// The machine key: HKLM "SOFTWARE\Tervick", or the settings key while
// nolmaccess is set.
LONG open_machine_key(HKEY* key);
