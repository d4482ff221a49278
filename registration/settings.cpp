#include "registration/settings.h"

#include <string.h>

#include "common/registry.h"
#include "common/names.h"
#include "setup/notice.h"
#include "setup/state.h"

int write_probe(int selector)
{
    RegistryKey key;
    LONG status = selector == kProbeSettingsKey ? open_settings_key(&key.handle)
                                                : open_machine_key(&key.handle);
    if (status != ERROR_SUCCESS)
        return 0;
    if (write_string_value(key.handle, "patch", "blank") != ERROR_SUCCESS)
        return 0;
    // Only the first five bytes are compared; the read-back refuses a value
    // that would not end inside its 15 bytes.
    char readBack[16];
    memset(readBack, 0, sizeof readBack);
    if (read_string_value(key.handle, "patch", readBack, 15) != ERROR_SUCCESS)
        return 0;
    return memcmp(readBack, "blank", 5) == 0 ? 1 : 0;
}

void value_copy(const char* name)
{
    RegistryKey settings;
    RegistryKey machine;
    LONG settingsStatus = open_settings_key(&settings.handle);
    LONG machineStatus = open_machine_key(&machine.handle);
    if (settingsStatus != ERROR_SUCCESS || machineStatus != ERROR_SUCCESS)
        return;
    // A successful read ends the text inside the first 255 bytes, after the
    // bytes actually read, so nothing beyond them is ever written out.
    char text[256];
    memset(text, 0, sizeof text);
    if (read_string_value(settings.handle, name, text, 255) != ERROR_SUCCESS)
        return;
    write_string_value(machine.handle, name, text);
}

int registry_startup()
{
    if (!write_probe(kProbeSettingsKey))
        return 0;
    // The flag is still 0 here, so this probe goes to HKEY_LOCAL_MACHINE.
    if (!write_probe(kProbeMachineKey))
        g_setup.nolmaccess = 1;

    {
        RegistryKey settings;
        if (open_settings_key(&settings.handle) == ERROR_SUCCESS)
            write_dword_value(settings.handle, "nolmaccess", g_setup.nolmaccess);
    }

    if (g_setup.nolmaccess == 0) {
        value_copy("Path");
        value_copy("Installed");
        value_copy("patch");
    }
    return 1;
}

int installation_record()
{
    RegistryKey settings;
    LONG status = open_settings_key(&settings.handle);
    if (status != ERROR_SUCCESS) {
        system_error_notice((DWORD)status, "22");
        return 0;
    }
    write_dword_value(settings.handle, "zxcount", kBuildNumber);

    // A result equal to the capacity means the name was cut short (and is
    // not terminated on older systems): record nothing rather than a wrong
    // path.
    char ownPath[kPathSize];
    DWORD length = GetModuleFileNameA(NULL, ownPath, kPathSize);
    if (length == 0 || length >= kPathSize)
        return 0;
    return write_string_value(settings.handle, "Installed", ownPath) == ERROR_SUCCESS ? 1 : 0;
}
