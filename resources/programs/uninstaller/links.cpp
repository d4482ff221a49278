#include "links.h"

#include <windows.h>
#include <shlobj.h>
#include <string.h>

#include "folder_check.h"
#include "registration/registry.h"
#include "registration/shortcuts.h"
#include "setup/state.h"

namespace {

const GUID kClsidShellLink = {0x00021401, 0x0000, 0x0000,
                              {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
const GUID kIidShellLinkA = {0x000214EE, 0x0000, 0x0000,
                             {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
const GUID kIidPersistFile = {0x0000010B, 0x0000, 0x0000,
                              {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

template <class Interface>
struct ComGuard {
    Interface* pointer = NULL;
    ~ComGuard()
    {
        if (pointer != NULL)
            pointer->Release();
    }
};

bool append(char* path, const char* text)
{
    size_t length = strlen(path);
    size_t extra = strlen(text);
    if (length + extra >= kPathSize)
        return false;
    memcpy(path + length, text, extra + 1);
    return true;
}

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
    if (link[0] == '\0' || GetFileAttributesA(link) == INVALID_FILE_ATTRIBUTES)
        return;
    char target[kPathSize];
    if (comReady && link_target(link, target) && !same_path(target, mainProgram))
        return;
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
    if (SHGetSpecialFolderPathA(NULL, link, csidl, FALSE) && append(link, LINK_NAME))
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
    link[0] = '\0';
    HKEY mapGroups;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, MAP_GROUPS_KEY_PATH, 0, KEY_QUERY_VALUE, &mapGroups) ==
        ERROR_SUCCESS) {
        if (read_string_value(mapGroups, "Quick Launch", link, kPathSize) == ERROR_SUCCESS) {
            size_t length = strlen(link);
            if (length > 4 && length < 488 && append(link, LINK_NAME))
                remove_link(link, mainProgram, comReady, report);
        }
        RegCloseKey(mapGroups);
    }
    if (SHGetSpecialFolderPathA(NULL, link, CSIDL_LOCAL_APPDATA, FALSE)) {
        size_t length = strlen(link);
        if (length > 8 && length < 488) {
            if (link[length - 1] == '\\')
                link[length - 1] = '\0';
            if (append(link, QUICK_LAUNCH_SUBFOLDER) && append(link, LINK_NAME))
                remove_link(link, mainProgram, comReady, report);
        }
    }

    if (comReady)
        CoUninitialize();
}
