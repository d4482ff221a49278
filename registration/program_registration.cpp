#include "registration/program_registration.h"

#include "registration/registry.h"
#include "setup/names.h"
#include "setup/notice.h"
#include "setup/path.h"
#include "setup/state.h"

#define APP_PATHS_KEY_PATH "Software\\Microsoft\\Windows\\CurrentVersion\\App Paths"
#define UNINSTALL_KEY_PATH "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall"
// Three blanks before the bracket, as the list of programs has always shown it.
#define UNINSTALL_DISPLAY_NAME "Veltranox 2003   (Remove Only)"

namespace {

// Closes a key when it goes out of scope; subkeys are declared after their
// parents so that they are closed first.
struct KeyGuard {
    HKEY key = NULL;
    ~KeyGuard()
    {
        if (key != NULL)
            RegCloseKey(key);
    }
};

}  // namespace

void app_paths_registration()
{
    {
        KeyGuard appPaths;
        if (open_key(HKEY_LOCAL_MACHINE, APP_PATHS_KEY_PATH, kKeyAccess, &appPaths.key) ==
            ERROR_SUCCESS) {
            KeyGuard program;
            if (open_key(appPaths.key, MAIN_PROGRAM_NAME, kKeyAccess, &program.key) ==
                ERROR_SUCCESS) {
                // Both writes are made whatever the first gives; a user who
                // may not write here still gets a working installation.
                write_string_value(program.key, NULL, g_setup.mainProgramPath);
                write_string_value(program.key, "Path", g_setup.installFolder);
            }
        }
    }

    KeyGuard machine;
    LONG status = open_machine_key(&machine.key);
    if (status != ERROR_SUCCESS) {
        machine.key = NULL;
        system_error_notice((DWORD)status, "10");
        return;
    }
    write_string_value(machine.key, "Path", g_setup.installFolder);
}

int uninstall_registration()
{
    KeyGuard uninstall;
    if (open_key(HKEY_LOCAL_MACHINE, UNINSTALL_KEY_PATH, kKeyAccess, &uninstall.key) !=
        ERROR_SUCCESS) {
        uninstall.key = NULL;
        return 0;
    }
    KeyGuard product;
    if (open_key(uninstall.key, PRODUCT_NAME, kKeyAccess, &product.key) != ERROR_SUCCESS) {
        product.key = NULL;
        return 0;
    }

    LONG nameStatus = write_string_value(product.key, "DisplayName", UNINSTALL_DISPLAY_NAME);
    // The entry always names the Windows directory; with an empty Windows
    // directory the join gives the bare file name.
    PathBuffer uninstaller;
    path_join(g_setup.windowsDirectory, UNINSTALLER_NAME, uninstaller);
    LONG commandStatus = write_string_value(product.key, "UninstallString", uninstaller);
    return nameStatus == ERROR_SUCCESS && commandStatus == ERROR_SUCCESS;
}
