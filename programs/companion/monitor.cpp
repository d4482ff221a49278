// vmon03: the Veltranox installation monitor. Finds the installed copy of
// Veltranox through the registry, and lists which of its files are in
// place, with their sizes, and the main program's version.
#include <windows.h>
#include <shellapi.h>
#include <string.h>

#include "monitor_ids.h"
#include "common/names.h"
#include "common/path.h"

namespace {

const char kMakerKey[] = MACHINE_KEY_PATH;
const char kSettingsKey[] = SETTINGS_KEY_PATH;

// The files an installation cannot work without, and the documents.
const char* const kInstalledFiles[] = {
    "Veltranox.exe", "veltranox.exe.manifest", "license.txt", "main.dct", "bucket.bin",
    "thes.bin",      "Veltranox.hlp",          "Veltranox.cnt", "QuickRef.rtf", "More.rtf",
    "tips.txt",      "Sample.scp",             "Feature.stp",   "White.scm",
};

char g_installFolder[MAX_PATH];

// "Path" from the machine key, else from the per-user settings (where it
// is kept when the machine key cannot be written).
bool find_install_folder(char* out)
{
    const HKEY roots[] = {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER};
    const char* const keys[] = {kMakerKey, kSettingsKey};
    for (int i = 0; i < 2; ++i) {
        HKEY key;
        if (RegOpenKeyExA(roots[i], keys[i], 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
            continue;
        DWORD type = 0, size = MAX_PATH - 1;
        LONG status = RegQueryValueExA(key, "Path", NULL, &type, (BYTE*)out, &size);
        RegCloseKey(key);
        if (status == ERROR_SUCCESS && type == REG_SZ && size > 1) {
            out[size] = '\0';
            return true;
        }
    }
    out[0] = '\0';
    return false;
}

bool join(const char* folder, const char* name, char* out)
{
    size_t length = strlen(folder);
    bool slash = length != 0 && !path_ends_with_backslash(folder);
    if (length + (slash ? 1 : 0) + strlen(name) >= MAX_PATH)
        return false;
    lstrcpyA(out, folder);
    if (slash)
        lstrcatA(out, "\\");
    lstrcatA(out, name);
    return true;
}

void file_version(const char* path, char* out)
{
    lstrcpyA(out, "no version information");
    DWORD handle = 0;
    DWORD size = GetFileVersionInfoSizeA(path, &handle);
    void* block = size != 0 ? HeapAlloc(GetProcessHeap(), 0, size) : NULL;
    if (block == NULL)
        return;
    VS_FIXEDFILEINFO* info = NULL;
    UINT infoSize = 0;
    if (GetFileVersionInfoA(path, 0, size, block) &&
        VerQueryValueA(block, "\\", (void**)&info, &infoSize) && info != NULL) {
        wsprintfA(out, "version %u.%u.%u.%u", HIWORD(info->dwFileVersionMS),
                  LOWORD(info->dwFileVersionMS), HIWORD(info->dwFileVersionLS),
                  LOWORD(info->dwFileVersionLS));
    }
    HeapFree(GetProcessHeap(), 0, block);
}

void refresh(HWND dialog)
{
    HWND list = GetDlgItem(dialog, IDC_FILES);
    SendMessageA(list, LB_RESETCONTENT, 0, 0);
    if (!find_install_folder(g_installFolder)) {
        SetDlgItemTextA(dialog, IDC_FOLDER, "Veltranox is not installed for this user.");
        SetDlgItemTextA(dialog, IDC_VERSION, "");
        EnableWindow(GetDlgItem(dialog, IDC_OPEN_FOLDER), FALSE);
        return;
    }
    SetDlgItemTextA(dialog, IDC_FOLDER, g_installFolder);
    EnableWindow(GetDlgItem(dialog, IDC_OPEN_FOLDER), TRUE);

    int missing = 0;
    for (size_t i = 0; i < sizeof(kInstalledFiles) / sizeof(kInstalledFiles[0]); ++i) {
        char path[MAX_PATH], line[MAX_PATH + 64];
        WIN32_FILE_ATTRIBUTE_DATA data;
        if (join(g_installFolder, kInstalledFiles[i], path) &&
            GetFileAttributesExA(path, GetFileExInfoStandard, &data)) {
            wsprintfA(line, "%s\t%lu bytes", kInstalledFiles[i], (unsigned long)data.nFileSizeLow);
        } else {
            wsprintfA(line, "%s\tMISSING", kInstalledFiles[i]);
            ++missing;
        }
        SendMessageA(list, LB_ADDSTRING, 0, (LPARAM)line);
    }

    char path[MAX_PATH], version[64], text[128];
    if (join(g_installFolder, "Veltranox.exe", path))
        file_version(path, version);
    else
        lstrcpyA(version, "no version information");
    if (missing != 0)
        wsprintfA(text, "Veltranox.exe %s; %d file(s) missing: please run Setup again.", version,
                  missing);
    else
        wsprintfA(text, "Veltranox.exe %s; all files are in place.", version);
    SetDlgItemTextA(dialog, IDC_VERSION, text);
}

INT_PTR CALLBACK monitor_procedure(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG: {
        HICON icon = LoadIconA(GetModuleHandleA(NULL), MAKEINTRESOURCEA(IDI_MONITOR));
        SendMessageA(dialog, WM_SETICON, ICON_BIG, (LPARAM)icon);
        INT tabStop = 120;
        SendDlgItemMessageA(dialog, IDC_FILES, LB_SETTABSTOPS, 1, (LPARAM)&tabStop);
        refresh(dialog);
        return TRUE;
    }
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDC_REFRESH:
            refresh(dialog);
            return TRUE;
        case IDC_OPEN_FOLDER:
            ShellExecuteA(dialog, "explore", g_installFolder, NULL, NULL, SW_SHOWNORMAL);
            return TRUE;
        case IDOK:
        case IDCANCEL:
            EndDialog(dialog, LOWORD(wParam));
            return TRUE;
        }
        return FALSE;
    }
    return FALSE;
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    DialogBoxParamA(instance, MAKEINTRESOURCEA(IDD_MONITOR), NULL, monitor_procedure, 0);
    return 0;
}
