#include "common/special_folders.h"

#include <shlobj.h>
#include <string.h>

#include "common/names.h"
#include "common/path.h"
#include "common/registry.h"

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

int special_folder_lookup(HWND owner, int csidl, char* path)
{
    path[0] = '\0';
    LPITEMIDLIST list = NULL;
    HRESULT result = SHGetSpecialFolderLocation(owner, csidl, &list);
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

bool quick_launch_link_from_map_groups(char* path)
{
    path[0] = '\0';
    HKEY mapGroups;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, MAP_GROUPS_KEY_PATH, 0, KEY_QUERY_VALUE, &mapGroups) !=
        ERROR_SUCCESS)
        return false;
    bool usable = false;
    if (read_string_value(mapGroups, "Quick Launch", path, kPathSize) == ERROR_SUCCESS) {
        size_t length = strlen(path);
        usable = length > 4 && length < 488 && path_append(path, LINK_NAME);
    }
    RegCloseKey(mapGroups);
    return usable;
}

bool quick_launch_link_from_local_appdata(HWND owner, char* path)
{
    if (!special_folder_lookup(owner, CSIDL_LOCAL_APPDATA, path))
        return false;
    size_t length = strlen(path);
    if (length <= 8 || length >= 488)
        return false;
    remove_one_trailing_backslash(path);
    return path_append(path, QUICK_LAUNCH_SUBFOLDER) && path_append(path, LINK_NAME);
}
