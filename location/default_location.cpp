#include "location/default_location.h"

#include <shlobj.h>
#include <string.h>

#include "common/path.h"
#include "setup/state.h"

namespace {

// Gives an item identifier list back to the shell's allocator.
void free_item_list(LPITEMIDLIST list)
{
    IMalloc* allocator = NULL;
    if (SHGetMalloc(&allocator) == S_OK && allocator != NULL) {
        allocator->Free(list);
        allocator->Release();
    }
}

} // namespace

int special_folder_lookup(int csidl, char* path)
{
    path[0] = '\0';
    LPITEMIDLIST list = NULL;
    HRESULT result = SHGetSpecialFolderLocation(g_setup.backdropWindow, csidl, &list);
    if (result != S_OK) {
        if (list != NULL)
            free_item_list(list);
        return 0;
    }
    BOOL found = SHGetPathFromIDListA(list, path);
    free_item_list(list);
    if (!found) {
        path[0] = '\0';
        return 0;
    }
    return 1;
}

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
    if (special_folder_lookup(CSIDL_PROGRAM_FILES, folder)) {
        remove_one_trailing_backslash(folder);
        return;
    }
    program_files_on_first_fixed_drive(folder);
}
