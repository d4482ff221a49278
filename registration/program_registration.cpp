#include "registration/program_registration.h"

#include "registration/registry.h"
#include "setup/names.h"
#include "setup/notice.h"
#include "setup/path.h"
#include "setup/state.h"

void app_paths_registration()
{
    {
        // The subkey's guard is declared after its parent's: it closes first.
        RegistryKey appPaths;
        if (open_key(HKEY_LOCAL_MACHINE, APP_PATHS_KEY_PATH, kKeyAccess, &appPaths.handle) ==
            ERROR_SUCCESS) {
            RegistryKey program;
            if (open_key(appPaths.handle, MAIN_PROGRAM_NAME, kKeyAccess, &program.handle) ==
                ERROR_SUCCESS) {
                // Both writes are made whatever the first gives; a user who
                // may not write here still gets a working installation.
                write_string_value(program.handle, NULL, g_setup.mainProgramPath);
                write_string_value(program.handle, "Path", g_setup.installFolder);
            }
        }
    }

    RegistryKey machine;
    LONG status = open_machine_key(&machine.handle);
    if (status != ERROR_SUCCESS) {
        system_error_notice((DWORD)status, "10");
        return;
    }
    write_string_value(machine.handle, "Path", g_setup.installFolder);
}

int uninstall_registration()
{
    RegistryKey uninstall;
    if (open_key(HKEY_LOCAL_MACHINE, UNINSTALL_KEY_PATH, kKeyAccess, &uninstall.handle) !=
        ERROR_SUCCESS)
        return 0;
    RegistryKey product;
    if (open_key(uninstall.handle, PRODUCT_NAME, kKeyAccess, &product.handle) != ERROR_SUCCESS)
        return 0;

    LONG nameStatus = write_string_value(product.handle, "DisplayName", UNINSTALL_DISPLAY_NAME);
    // The entry always names the Windows directory; with an empty Windows
    // directory the join gives the bare file name.
    PathBuffer uninstaller;
    path_join(g_setup.windowsDirectory, UNINSTALLER_NAME, uninstaller);
    LONG commandStatus = write_string_value(product.handle, "UninstallString", uninstaller);
    return nameStatus == ERROR_SUCCESS && commandStatus == ERROR_SUCCESS;
}
