// The installed files and the install folder.
#pragma once

#include "report.h"

// True when another process holds the main program: the exclusive open
// that the setup program also uses fails with a sharing violation. A
// running program is held this way.
bool main_program_in_use(const char* mainProgram);

// Deletes the catalogue's files in the install folder (read-only ones
// too) and the setup program's own leftover "image.tmp". The file named
// keep (this program, when it runs from the folder) is left alone. A file
// already missing is not a failure.
void remove_installed_files(const char* folder, const char* keep, Report* report);

// Entries in the folder besides "." and ".." and the file named except
// (a full path, or null).
int folder_entry_count(const char* folder, const char* except);

// Removes the folder when it holds nothing. An empty folder that stays is
// a failure; one that holds files stays as it is. True when it is gone.
bool remove_folder_if_empty(const char* folder, Report* report);
