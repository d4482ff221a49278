// Names the program is built around.
#pragma once

#define PRODUCT_NAME        "Veltranox"
#define MAIN_PROGRAM_NAME   "Veltranox.exe"
#define DEFAULT_FOLDER_NAME "\\Veltranox"
#define UNINSTALLER_NAME    "vcluins1.exe"
#define COMPANION_NAME      "vmon03.exe"

// Registry keys. The machine key holds "Path" for every user; the settings
// key (HKCU) the user's own values, and "Path" while nolmaccess is set; the
// report key (HKCU) a crash report waiting for its upload.
#define MACHINE_KEY_PATH    "SOFTWARE\\Tervick"
#define PRODUCT_KEY_PATH    "Software\\Tervick\\" PRODUCT_NAME
#define SETTINGS_KEY_PATH   PRODUCT_KEY_PATH "\\Settings"
#define REPORT_KEY_NAME     "report"
#define REPORT_KEY_PATH     PRODUCT_KEY_PATH "\\" REPORT_KEY_NAME
#define APP_PATHS_KEY_PATH  "Software\\Microsoft\\Windows\\CurrentVersion\\App Paths"
#define UNINSTALL_KEY_PATH  "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall"
#define UNINSTALL_DISPLAY_NAME "Veltranox 2003   (Remove Only)"
#define MAP_GROUPS_KEY_PATH "Software\\Microsoft\\Windows\\CurrentVersion\\GrpConv\\MapGroups"

// The shortcut the setup program makes in the Start menu, on the desktop
// and in the Quick Launch folder (under the local application data folder
// when MapGroups names none).
#define LINK_FILE_NAME      "Veltranox 2003" ".lnk"
#define LINK_NAME           "\\" LINK_FILE_NAME
#define QUICK_LAUNCH_SUBFOLDER "\\Microsoft\\Internet Explorer\\Quick Launch"

// Files the setup program makes for a moment: the compressed copy of a
// payload file in the temp folder, and the new main program's copy in the
// install folder until it replaces the old one.
#define DATA_FILE_NAME      "data.tmp"
#define IMAGE_FILE_NAME     "image.tmp"

// Build number recorded in the registry and in crash reports: the build
// setting SETUP_BUILD_NUMBER, so that each release carries its own.
#ifndef SETUP_BUILD_NUMBER
#define SETUP_BUILD_NUMBER 43
#endif
enum { kBuildNumber = SETUP_BUILD_NUMBER };
