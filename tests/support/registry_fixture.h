// The registry as the tests of the setup state's keys start from: both
// keys gone, the state pointed at the settings key. Values are set and read
// with tests/support/registry.h.
#pragma once
#include <windows.h>
#include <shlwapi.h>

#include <string>

#include "setup/state.h"
#include "tests/support/registry.h"

namespace fixture {

inline std::string sz(const std::string& text)
{
    return text + '\0';
}

// Both keys gone, the setup state's key path set, the flag cleared.
inline void fresh_registry()
{
    SHDeleteKeyA(HKEY_CURRENT_USER, "Software\\Tervick");
    SHDeleteKeyA(HKEY_LOCAL_MACHINE, kMachineKey);
    lstrcpyA(g_setup.settingsKeyPath, kSettingsKey);
    g_setup.nolmaccess = 0;
}

} // namespace fixture
