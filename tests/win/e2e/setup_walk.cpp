// setup-walk.exe: takes a setup program down the default path (Install,
// Accept, OK in every box), saves a screenshot of each screen, then
// screenshots and closes the program it started. `make run` uses it on a
// machine without a display.
//
// usage: setup-walk.exe [--shots FOLDER] [--timeout S] PROGRAM
// Prints what it saw, one line each, then what the installation left: the
// files, the registry values and the links. Exit code: the setup
// program's; 124 when it was ended at the timeout; 125 when it could not
// be started; 3 when the installed program did not appear.
#include <windows.h>
#include <shlobj.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>

#include "tests/support/benchutil.h"
#include "tests/win/e2e/walk.h"

namespace {

const char kMainWindowClass[] = "Veltranox2003Main";

// Every value of a key, "name = data" a line.
void print_key(HKEY root, const char* rootName, const char* path)
{
    HKEY key;
    if (RegOpenKeyExA(root, path, 0, KEY_READ, &key) != ERROR_SUCCESS) {
        printf("  %s\\%s: (none)\n", rootName, path);
        return;
    }
    printf("  %s\\%s\n", rootName, path);
    for (DWORD i = 0;; ++i) {
        char name[256], data[1024];
        DWORD nameLength = sizeof name, dataLength = sizeof data - 1, type = 0;
        if (RegEnumValueA(key, i, name, &nameLength, nullptr, &type, (BYTE*)data,
                          &dataLength) != ERROR_SUCCESS)
            break;
        data[dataLength] = '\0';
        if (type == REG_DWORD)
            printf("    %s = %lu\n", nameLength ? name : "(default)", *(DWORD*)data);
        else
            printf("    %s = %s\n", nameLength ? name : "(default)", data);
    }
    RegCloseKey(key);
}

std::string string_value(HKEY root, const char* path, const char* name)
{
    char data[MAX_PATH] = "";
    DWORD size = sizeof data - 1;
    HKEY key;
    if (RegOpenKeyExA(root, path, 0, KEY_READ, &key) == ERROR_SUCCESS) {
        if (RegQueryValueExA(key, name, nullptr, nullptr, (BYTE*)data, &size) != ERROR_SUCCESS)
            data[0] = '\0';
        RegCloseKey(key);
    }
    return data;
}

void print_files(const std::string& folder, const char* only)
{
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((folder + "\\" + (only ? only : "*")).c_str(), &found);
    int files = 0, readOnly = 0;
    ULONGLONG bytes = 0;
    if (search != INVALID_HANDLE_VALUE) {
        do {
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                continue;
            ++files;
            readOnly += (found.dwFileAttributes & FILE_ATTRIBUTE_READONLY) ? 1 : 0;
            bytes += found.nFileSizeLow;
        } while (FindNextFileA(search, &found));
        FindClose(search);
    }
    if (only != nullptr)
        printf("  %s\\%s: %s\n", folder.c_str(), only, files ? "present" : "missing");
    else
        printf("  %s: %d files, %llu bytes, %d of them read-only\n", folder.c_str(), files,
               bytes, readOnly);
}

void print_link(int csidl, const char* below, const char* where)
{
    char folder[MAX_PATH];
    if (FAILED(SHGetFolderPathA(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, folder)))
        return;
    std::string link = std::string(folder) + below + "\\Veltranox 2003.lnk";
    printf("  %-12s %s%s\n", where, link.c_str(),
           GetFileAttributesA(link.c_str()) == INVALID_FILE_ATTRIBUTES ? " (missing)" : "");
}

void print_summary()
{
    const char* settings = "Software\\Tervick\\Veltranox\\Settings";
    std::string folder = string_value(HKEY_LOCAL_MACHINE, "SOFTWARE\\Tervick", "Path");
    if (folder.empty())
        folder = string_value(HKEY_CURRENT_USER, settings, "Path");
    char windows[MAX_PATH];
    GetWindowsDirectoryA(windows, MAX_PATH);
    printf("Installed:\n");
    if (!folder.empty())
        print_files(folder, nullptr);
    print_files(windows, "vmon03.exe");
    print_files(windows, "vcluins1.exe");
    printf("Registered:\n");
    print_key(HKEY_CURRENT_USER, "HKCU", settings);
    print_key(HKEY_LOCAL_MACHINE, "HKLM", "SOFTWARE\\Tervick");
    print_key(HKEY_LOCAL_MACHINE, "HKLM",
              "Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\Veltranox.exe");
    print_key(HKEY_LOCAL_MACHINE, "HKLM",
              "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Veltranox");
    printf("Links:\n");
    print_link(CSIDL_STARTMENU, "", "Start menu");
    print_link(CSIDL_DESKTOPDIRECTORY, "", "Desktop");
    print_link(CSIDL_LOCAL_APPDATA, "\\Microsoft\\Internet Explorer\\Quick Launch",
               "Quick Launch");
}

} // namespace

int main(int argc, char** argv)
{
    apply_test_environment();
    e2e::WalkPlan plan;
    int i = 1;
    for (; i + 1 < argc && strncmp(argv[i], "--", 2) == 0; i += 2) {
        if (strcmp(argv[i], "--shots") == 0)
            plan.screenshotFolder = argv[i + 1];
        else if (strcmp(argv[i], "--timeout") == 0)
            plan.timeoutMs = strtoul(argv[i + 1], nullptr, 10) * 1000;
        else
            break;
    }
    if (i != argc - 1) {
        fprintf(stderr, "usage: setup-walk.exe [--shots FOLDER] [--timeout S] PROGRAM\n");
        return 125;
    }
    if (!plan.screenshotFolder.empty())
        CreateDirectoryA(plan.screenshotFolder.c_str(), nullptr);

    e2e::WalkRecord record = e2e::walk_setup(std::string("\"") + argv[i] + "\"", plan);
    if (!record.started) {
        printf("walk: %s could not be started (error %lu)\n", argv[i], GetLastError());
        return 125;
    }
    for (const e2e::LocationShowing& showing : record.locations)
        printf("walk: location dialog: %s%s -> Install\n", showing.folder.c_str(),
               showing.changeEnabled ? "" : " (Change... disabled: previous installation)");
    if (record.licenceShowings > 0)
        printf("walk: licence dialog -> Accept\n");
    if (record.progressSeen)
        printf("walk: progress notice shown\n");
    for (const robot::Notice& notice : record.notices)
        printf("walk: message box \"%s\": %s\n", notice.caption.c_str(),
               robot::escape_field(notice.text).c_str());
    if (!record.finished) {
        printf("walk: still running after %lu s; ended\n", plan.timeoutMs / 1000);
        return 124;
    }
    printf("walk: setup program exited with %lu\n", record.exitCode);

    // The installed program, started by the setup program.
    robot::Robot anyone;
    anyone.watch_all_processes(true);
    HWND main = anyone.find_window_by_class(kMainWindowClass, 60000);
    if (main == nullptr) {
        printf("walk: the installed program did not appear\n");
        print_summary();
        return record.exitCode != 0 ? (int)record.exitCode : 3;
    }
    if (!plan.screenshotFolder.empty()) {
        Sleep(500);
        std::string path = plan.screenshotFolder + "\\" +
                           std::to_string(record.screenshots.size() + 1) + "-main-program.bmp";
        robot::save_screenshot(nullptr, path.c_str());
    }
    printf("walk: installed program started%s; closing it\n",
           IsZoomed(main) ? " maximised" : "");
    PostMessageA(main, WM_CLOSE, 0, 0);
    robot::wait_window_gone(main, 60000);
    print_summary();
    return (int)record.exitCode;
}
