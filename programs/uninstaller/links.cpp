#include "links.h"

#include <windows.h>
#include <shlobj.h>
#include <string.h>

#include "folder_check.h"
#include "common/registry.h"
#include "common/shell_link.h"
#include "common/special_folders.h"
#include "common/names.h"
#include "common/path.h"

namespace {

// The link's target as stored; false when the link cannot be read.
bool link_target(const char* link, char* target)
{
    ComGuard<IShellLinkA> shellLink;
    if (FAILED(CoCreateInstance(kClsidShellLink, NULL, CLSCTX_INPROC_SERVER, kIidShellLinkA,
                                (void**)&shellLink.pointer))) {
        shellLink.pointer = NULL;
        return false;
    }
    ComGuard<IPersistFile> file;
    if (FAILED(shellLink.pointer->QueryInterface(kIidPersistFile, (void**)&file.pointer))) {
        file.pointer = NULL;
        return false;
    }
    WCHAR widePath[kPathSize];
    if (MultiByteToWideChar(CP_ACP, 0, link, -1, widePath, kPathSize) == 0 ||
        FAILED(file.pointer->Load(widePath, STGM_READ)))
        return false;
    target[0] = '\0';
    return shellLink.pointer->GetPath(target, MAX_PATH, NULL, SLGP_RAWPATH) == S_OK &&
           target[0] != '\0';
}

void remove_link(const char* link, const char* mainProgram, bool comReady, Report* report)
{
    if (link[0] == '\0')
        return;
    if (GetFileAttributesA(link) == INVALID_FILE_ATTRIBUTES) {
        DWORD error = GetLastError();
        if (error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND)
            report_failure(report, link);
        return;
    }
    char target[kPathSize];
    if (comReady && link_target(link, target)) {
        // A target that cannot be compared leaves it open whose link this
        // is: it stays, and is listed.
        PathBuffer comparable;
        comparable_path(target, comparable);
        if (comparable[0] == '\0')
            report_failure(report, link);
        if (comparable[0] == '\0' || !same_path(comparable, mainProgram))
            return;
    }
    SetFileAttributesA(link, FILE_ATTRIBUTE_NORMAL);
    if (!DeleteFileA(link)) {
        report_failure(report, link);
        return;
    }
    SHChangeNotify(SHCNE_DELETE, SHCNF_PATHA, link, NULL);
}

void remove_link_in_special_folder(int csidl, const char* mainProgram, bool comReady,
                                   Report* report)
{
    PathBuffer link;
    if (special_folder_lookup(NULL, csidl, link) && path_append(link, LINK_NAME))
        remove_link(link, mainProgram, comReady, report);
}

} // namespace

void remove_links(const char* mainProgram, Report* report)
{
    HRESULT com = CoInitialize(NULL);
    bool comReady = SUCCEEDED(com);

    // The setup program used the first folder of each pair that the shell
    // gave it; which one that was depends on the shell of that day.
    remove_link_in_special_folder(CSIDL_STARTMENU, mainProgram, comReady, report);
    remove_link_in_special_folder(CSIDL_COMMON_STARTMENU, mainProgram, comReady, report);
    remove_link_in_special_folder(CSIDL_DESKTOPDIRECTORY, mainProgram, comReady, report);
    remove_link_in_special_folder(CSIDL_COMMON_DESKTOPDIRECTORY, mainProgram, comReady, report);

    // Quick Launch: the folder the user's MapGroups value names (taken as
    // it stands, within the lengths the setup program accepts), and the one
    // under the local application data folder.
    PathBuffer link;
    if (quick_launch_link_from_map_groups(link))
        remove_link(link, mainProgram, comReady, report);
    if (quick_launch_link_from_local_appdata(NULL, link))
        remove_link(link, mainProgram, comReady, report);

    if (comReady)
        CoUninitialize();
}
