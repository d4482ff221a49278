// Registry set-up and read-back for the settings and location tests, done
// with plain advapi32 calls rather than the program's own helpers.
#pragma once
#include <windows.h>
#include <shlwapi.h>

#include <string>
#include <vector>

#include "setup/state.h"
#include "tests/support/robot.h"

namespace fixture {

const char kSettingsKey[] = "Software\\Tervick\\Veltranox\\Settings";
const char kMachineKey[] = "SOFTWARE\\Tervick";

struct Stored {
    bool present = false;
    DWORD type = 0;
    std::string bytes; // exactly as stored
};

inline Stored read_value(HKEY root, const char* path, const char* name)
{
    Stored value;
    HKEY key;
    if (RegOpenKeyExA(root, path, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return value;
    DWORD size = 0;
    if (RegQueryValueExA(key, name, NULL, &value.type, NULL, &size) == ERROR_SUCCESS) {
        value.bytes.resize(size);
        value.present = RegQueryValueExA(key, name, NULL, &value.type,
                                         (BYTE*)&value.bytes[0], &size) == ERROR_SUCCESS;
        value.bytes.resize(size);
    }
    RegCloseKey(key);
    return value;
}

inline bool key_exists(HKEY root, const char* path)
{
    HKEY key;
    if (RegOpenKeyExA(root, path, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

// Stores the bytes exactly as given (no terminator added).
inline void put_value(HKEY root, const char* path, const char* name, DWORD type,
                      const std::string& bytes)
{
    HKEY key;
    if (RegCreateKeyExA(root, path, 0, NULL, 0, KEY_ALL_ACCESS, NULL, &key, NULL) == 0) {
        RegSetValueExA(key, name, 0, type, (const BYTE*)bytes.data(), (DWORD)bytes.size());
        RegCloseKey(key);
    }
}

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

// Records every message box shown while it lives, answering each with OK.
class Boxes {
public:
    Boxes() { robot_.start(); }
    std::vector<robot::Notice> stop()
    {
        robot_.stop();
        return robot_.notices();
    }

private:
    robot::Robot robot_;
};

} // namespace fixture
