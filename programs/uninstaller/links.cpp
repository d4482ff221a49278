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
    // Without COM nothing can tell whose link this is: it stays, listed.
    if (!comReady) {
        report_failure(report, link);
        return;
    }
    // Only a shell link to this installation's main program is ours; a
    // file of that name that is no such link, or one that leads to another
    // program, stays and is listed. A target that cannot be compared
    // leaves it open: it stays, and is listed as not removed.
    char target[kPathSize];
    PathComparison ours = link_target(link, target) ? compare_paths(target, mainProgram)
                                                    : kOtherPath;
    if (ours == kPathUnknown)
        report_failure(report, link);
    else if (ours == kOtherPath)
        report_item(&report->foreign, link);
    if (ours != kSamePath)
        return;
    SetFileAttributesA(link, FILE_ATTRIBUTE_NORMAL);
    if (!DeleteFileA(link)) {
        report_failure(report, link);
        return;
    }
    SHChangeNotify(SHCNE_DELETE, SHCNF_PATHA, link, NULL);
}

// unknown names the link for the list when the shell cannot tell the
// folder (NULL: a folder that a system may well not have).
void remove_link_in_special_folder(int csidl, const char* unknown, const char* mainProgram,
                                   bool comReady, Report* report)
{
    PathBuffer link;
    if (!special_folder_lookup(NULL, csidl, link)) {
        if (unknown != NULL)
            report_failure(report, unknown);
        return;
    }
    if (path_append(link, LINK_NAME))
        remove_link(link, mainProgram, comReady, report);
}

} // namespace

void remove_links(const char* mainProgram, Report* report)
{
    HRESULT com = CoInitialize(NULL);
    bool comReady = SUCCEEDED(com);

    // The setup program used the first folder of each pair that the shell
    // gave it; which one that was depends on the shell of that day. Every
    // system has the user's own folders: when the shell cannot name one
    // now, a link may be left there unseen, and the list says so.
    remove_link_in_special_folder(CSIDL_STARTMENU, LINK_FILE_NAME " in the Start menu",
                                  mainProgram, comReady, report);
    remove_link_in_special_folder(CSIDL_COMMON_STARTMENU, NULL, mainProgram, comReady, report);
    remove_link_in_special_folder(CSIDL_DESKTOPDIRECTORY, LINK_FILE_NAME " on the desktop",
                                  mainProgram, comReady, report);
    remove_link_in_special_folder(CSIDL_COMMON_DESKTOPDIRECTORY, NULL, mainProgram, comReady,
                                  report);

    // Quick Launch: the folder the user's MapGroups value names (taken as
    // it stands, within the lengths the setup program accepts), and the one
    // under the local application data folder, which the setup program
    // used when there was no such value.
    PathBuffer link;
    bool mapped = quick_launch_link_from_map_groups(link);
    if (mapped)
        remove_link(link, mainProgram, comReady, report);
    if (quick_launch_link_from_local_appdata(NULL, link))
        remove_link(link, mainProgram, comReady, report);
    else if (link[0] == '\0' && !mapped)
        report_failure(report, LINK_FILE_NAME " in Quick Launch");

    if (comReady)
        CoUninitialize();
}
