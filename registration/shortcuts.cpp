#include "registration/shortcuts.h"

#include <windows.h>
#include <shlobj.h>
#include <string.h>

#include "location/default_location.h"
#include "common/registry.h"
#include "common/shell_link.h"
#include "common/path.h"
#include "setup/state.h"
#include "common/system_library.h"

namespace {

typedef decltype(&CoCreateInstance) CoCreateInstanceFn;

// Creates one link at linkPath to target. The result is the save's, or the
// failing result of creating the link object or of asking it for its file
// interface.
HRESULT link_creation(CoCreateInstanceFn createInstance, const char* workingDirectory,
                      const char* target, const char* linkPath)
{
    ComGuard<IShellLinkA> link;
    HRESULT result = createInstance(kClsidShellLink, NULL, CLSCTX_INPROC_SERVER, kIidShellLinkA,
                                    (void**)&link.pointer);
    if (FAILED(result)) {
        link.pointer = NULL;
        return result;
    }
    link.pointer->SetPath(target);
    link.pointer->SetIconLocation(target, 0);
    link.pointer->SetDescription(LINK_DESCRIPTION);
    link.pointer->SetWorkingDirectory(workingDirectory);

    ComGuard<IPersistFile> file;
    result = link.pointer->QueryInterface(kIidPersistFile, (void**)&file.pointer);
    if (FAILED(result)) {
        file.pointer = NULL;
        return result;
    }
    WCHAR widePath[kPathSize];
    if (MultiByteToWideChar(CP_ACP, 0, linkPath, -1, widePath, kPathSize) == 0)
        return HRESULT_FROM_WIN32(GetLastError());
    return file.pointer->Save(widePath, TRUE);
}

// Looks up the folder (or its all-users fallback) and makes the link in it.
void link_in_special_folder(CoCreateInstanceFn createInstance, int csidl, int fallbackCsidl)
{
    PathBuffer path;
    if (!special_folder_lookup(csidl, path) && !special_folder_lookup(fallbackCsidl, path))
        return;
    if (path_append(path, LINK_NAME))
        link_creation(createInstance, g_setup.installFolder, g_setup.mainProgramPath, path);
}

// The folder the user's Quick Launch bar shows, from the MapGroups value.
// The key is only opened, never created.
bool quick_launch_from_map_groups(char* path)
{
    path[0] = '\0';
    HKEY mapGroups;
    if (RegOpenKeyA(HKEY_CURRENT_USER, MAP_GROUPS_KEY_PATH, &mapGroups) != ERROR_SUCCESS)
        return false;
    // The read keeps the text inside the buffer: a value that fills all of
    // it without a terminating zero is refused and counts as absent.
    bool usable = false;
    if (read_string_value(mapGroups, "Quick Launch", path, kPathSize) == ERROR_SUCCESS) {
        size_t length = strlen(path);
        // The value is taken as it stands, a trailing backslash included.
        usable = length > 4 && length < 488 && path_append(path, LINK_NAME);
    }
    RegCloseKey(mapGroups);
    return usable;
}

// The Quick Launch folder under the local application data folder.
bool quick_launch_from_local_appdata(char* path)
{
    if (!special_folder_lookup(CSIDL_LOCAL_APPDATA, path))
        return false;
    size_t length = strlen(path);
    if (length <= 8 || length >= 488)
        return false;
    remove_one_trailing_backslash(path);
    return path_append(path, QUICK_LAUNCH_SUBFOLDER) && path_append(path, LINK_NAME);
}

}  // namespace

void shortcut_creation()
{
    SystemLibrary ole32("ole32.dll");
    auto coInitialize = SYSTEM_ENTRY(ole32, CoInitialize);
    auto coUninitialize = SYSTEM_ENTRY(ole32, CoUninitialize);
    CoCreateInstanceFn createInstance = SYSTEM_ENTRY(ole32, CoCreateInstance);
    if (coInitialize == NULL || coUninitialize == NULL || createInstance == NULL)
        return;
    // S_FALSE means COM was already initialised on this thread by someone
    // else: no links then, and no CoUninitialize either.
    if (coInitialize(NULL) != S_OK)
        return;

    link_in_special_folder(createInstance, CSIDL_STARTMENU, CSIDL_COMMON_STARTMENU);
    link_in_special_folder(createInstance, CSIDL_DESKTOPDIRECTORY, CSIDL_COMMON_DESKTOPDIRECTORY);

    PathBuffer quickLaunch;
    if (quick_launch_from_map_groups(quickLaunch) || quick_launch_from_local_appdata(quickLaunch))
        link_creation(createInstance, g_setup.installFolder, g_setup.mainProgramPath, quickLaunch);

    coUninitialize();
}
