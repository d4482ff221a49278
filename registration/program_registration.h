// Recording the installed program with Windows: the App Paths entry that
// lets the shell find Veltranox.exe by its bare name, the install folder in
// the machine key, and the entry in the list of removable programs.
#pragma once

// Three blanks before the bracket, as the list of programs has always shown it.

// Writes App Paths "Veltranox.exe" (default value = main program path,
// "Path" = install folder), then "Path" = install folder in the machine
// key. Only a machine key that cannot be opened is reported (notice "10").
void app_paths_registration();

// Writes the uninstall entry "Veltranox" ("DisplayName", and
// "UninstallString" = the Windows directory joined with the uninstaller's
// name), and what the list of installed programs shows: "Publisher",
// "DisplayVersion", "DisplayIcon" (the main program), "InstallLocation",
// "EstimatedSize" (KB), "NoModify" and "NoRepair". Non-zero only when
// "DisplayName" and "UninstallString" were written; writes nothing when
// the uninstaller's path does not fit a path buffer.
int uninstall_registration();
