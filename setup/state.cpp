#include "setup/state.h"

#include "common/registry.h"

SetupState g_setup;

LONG open_settings_key(HKEY* key)
{
    return open_key(HKEY_CURRENT_USER, g_setup.settingsKeyPath, kKeyAccess, key);
}

LONG open_machine_key(HKEY* key)
{
    if (g_setup.nolmaccess != 0)
        return open_settings_key(key);
    return open_key(HKEY_LOCAL_MACHINE, MACHINE_KEY_PATH, kKeyAccess, key);
}
