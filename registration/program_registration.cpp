#include "registration/program_registration.h"

#include "common/registry.h"
#include "resources/version.h"
#include "common/names.h"
#include "setup/notice.h"
#include "common/path.h"
#include "setup/state.h"

// PAYLOAD_EXPANDED_KB: what the catalogue's files take once expanded,
// computed by the build from the release payload.
#include "payload_size.h"

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
    // The entry always names the Windows directory; with an empty Windows
    // directory the join gives the bare file name. A path that does not fit
    // is no command at all: nothing is written and the uninstaller goes to
    // the install folder instead.
    PathBuffer uninstaller;
    path_join(g_setup.windowsDirectory, UNINSTALLER_NAME, uninstaller);
    if (uninstaller[0] == '\0')
        return 0;

    RegistryKey uninstall;
    if (open_key(HKEY_LOCAL_MACHINE, UNINSTALL_KEY_PATH, kKeyAccess, &uninstall.handle) !=
        ERROR_SUCCESS)
        return 0;
    RegistryKey product;
    if (open_key(uninstall.handle, PRODUCT_NAME, kKeyAccess, &product.handle) != ERROR_SUCCESS)
        return 0;

    LONG nameStatus = write_string_value(product.handle, "DisplayName", UNINSTALL_DISPLAY_NAME);
    LONG commandStatus = write_string_value(product.handle, "UninstallString", uninstaller);

    // What the list of installed programs shows besides the name. These
    // only inform; whether the entry works is decided by the two above.
    write_string_value(product.handle, "Publisher", RELEASE_COMPANY);
    write_string_value(product.handle, "DisplayVersion", RELEASE_VERSION_TEXT);
    write_string_value(product.handle, "DisplayIcon", g_setup.mainProgramPath);
    write_string_value(product.handle, "InstallLocation", g_setup.installFolder);
    write_dword_value(product.handle, "EstimatedSize", PAYLOAD_EXPANDED_KB);
    write_dword_value(product.handle, "NoModify", 1);
    write_dword_value(product.handle, "NoRepair", 1);
    return nameStatus == ERROR_SUCCESS && commandStatus == ERROR_SUCCESS;
}
