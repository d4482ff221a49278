// Where a new installation is proposed: a folder under the system's
// program-files folder (special_folder_lookup, common/special_folders.h).
#pragma once

// Fills g_setup.defaultParentFolder: the program-files folder without a
// trailing backslash, or else "X:\Program Files" on the first fixed drive,
// or "C:\Program Files" when there is none.
void compute_default_parent_folder();

// The fallback of compute_default_parent_folder: "X:\Program Files" with X
// the first drive of GetLogicalDrives() that is fixed, else C.
void program_files_on_first_fixed_drive(char* folder);
