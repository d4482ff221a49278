#include "registration/shortcuts.h"

#include <windows.h>
#include <shlobj.h>
#include <string.h>

#include "common/registry.h"
#include "common/shell_link.h"
#include "common/special_folders.h"
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
    if (!special_folder_lookup(g_setup.backdropWindow, csidl, path) &&
        !special_folder_lookup(g_setup.backdropWindow, fallbackCsidl, path))
        return;
    if (path_append(path, LINK_NAME))
        link_creation(createInstance, g_setup.installFolder, g_setup.mainProgramPath, path);
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
    if (quick_launch_link_from_map_groups(quickLaunch) ||
        quick_launch_link_from_local_appdata(g_setup.backdropWindow, quickLaunch))
        link_creation(createInstance, g_setup.installFolder, g_setup.mainProgramPath, quickLaunch);

    coUninitialize();
}
