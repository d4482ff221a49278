#include "location/default_location.h"

#include <shlobj.h>
#include <string.h>

#include "common/path.h"
#include "common/special_folders.h"
#include "setup/state.h"

void program_files_on_first_fixed_drive(char* folder)
{
    strcpy(folder, "C:\\Program Files");
    char root[4] = "C:\\";
    DWORD present = GetLogicalDrives();
    for (int drive = 0; drive < 26; ++drive) {
        if ((present & (1UL << drive)) == 0)
            continue;
        folder[0] = root[0] = (char)('A' + drive);
        if (GetDriveTypeA(root) == DRIVE_FIXED)
            return;
    }
    folder[0] = 'C';
}

void compute_default_parent_folder()
{
    char* folder = g_setup.defaultParentFolder;
    folder[0] = '\0';
    if (special_folder_lookup(g_setup.backdropWindow, CSIDL_PROGRAM_FILES, folder)) {
        remove_one_trailing_backslash(folder);
        return;
    }
    program_files_on_first_fixed_drive(folder);
}
