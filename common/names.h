// Names the program is built around.
#pragma once

#define PRODUCT_NAME        "Veltranox"
#define MAIN_PROGRAM_NAME   "Veltranox.exe"
#define DEFAULT_FOLDER_NAME "\\Veltranox"
#define UNINSTALLER_NAME    "vcluins1.exe"
#define COMPANION_NAME      "vmon03.exe"

// Build number recorded in the registry and in crash reports.
enum { kBuildNumber = 43 };
