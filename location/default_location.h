// Where a new installation is proposed: a folder under the system's
// program-files folder. Also finds the paths of shell special folders.
#pragma once

// Fills path (at least MAX_PATH bytes) with the file-system path of the
// shell special folder csidl. 1 on success; on failure path is empty.
int special_folder_lookup(int csidl, char* path);

// Fills g_setup.defaultParentFolder: the program-files folder without a
// trailing backslash, or else "X:\Program Files" on the first fixed drive,
// or "C:\Program Files" when there is none.
void compute_default_parent_folder();

// The fallback of compute_default_parent_folder: "X:\Program Files" with X
// the first drive of GetLogicalDrives() that is fixed, else C.
void program_files_on_first_fixed_drive(char* folder);
