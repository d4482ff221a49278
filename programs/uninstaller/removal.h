// The installed files and the install folder.
#pragma once

#include "report.h"

// True when another process holds the main program: the exclusive open
// that the setup program also uses fails with a sharing violation. A
// running program is held this way.
bool main_program_in_use(const char* mainProgram);

// Deletes the catalogue's files in the install folder (read-only ones
// too) and the setup program's own leftover "image.tmp", all but the main
// program and the uninstaller: those two go last, one by one, so that a
// removal cut short still leaves the folder recognisable as an
// installation. Each file goes only while it holds the bytes the setup
// program wrote; one that changed, or that leads out of the folder, stays
// and is listed. A file already missing is not a failure.
void remove_installed_files(const char* folder, Report* report);

// Deletes the main program the same way (a newer version of ours counts as
// ours).
void remove_main_program(const char* folder, Report* report);

// Deletes the uninstaller in the folder when it holds exactly the bytes of
// self, the running uninstaller (which, as a copy, was checked against it).
void remove_folder_uninstaller(const char* folder, const char* self, Report* report);

// Entries in the folder besides "." and ".." and the file named except
// (a full path, or null).
int folder_entry_count(const char* folder, const char* except);

// Removes the folder when it holds nothing. An empty folder that stays is
// a failure; one that holds files stays as it is. True when it is gone.
bool remove_folder_if_empty(const char* folder, Report* report);
