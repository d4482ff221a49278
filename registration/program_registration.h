// Recording the installed program with Windows: the App Paths entry that
// lets the shell find Veltranox.exe by its bare name, the install folder in
// the machine key, and the entry in the list of removable programs.
#pragma once

// Writes App Paths "Veltranox.exe" (default value = main program path,
// "Path" = install folder), then "Path" = install folder in the machine
// key. Only a machine key that cannot be opened is reported (notice "10").
void app_paths_registration();

// Writes the uninstall entry "Veltranox" ("DisplayName", and
// "UninstallString" = the Windows directory joined with the uninstaller's
// name). Non-zero only when both values were written.
int uninstall_registration();
