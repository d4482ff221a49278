#pragma once
#include <windows.h>

// The whole installation, in its fixed order. Returns the exit code, 0 on
// every path.
int run_setup(HINSTANCE instance);

// Steps 11 and 12: the Windows directory (one trailing backslash removed)
// and the temp folder, each with its notice when the system gives none.
void read_system_folders();

// Step 16: "C:" unless the install folder starts with a drive letter and a
// colon, whose letter is then taken unchanged in case.
void set_install_drive();

// Step 24 after the installation record: App Paths and uninstall
// registration, then the uninstaller into the Windows directory, or into the
// install folder when the uninstall entry could not be written.
void register_program();

// Step 26: starts the installed program, maximised, with the install folder
// as its current directory. Results are not acted on.
void launch_program();
