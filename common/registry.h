// Registry helpers: every registry access of the program goes through
// these. A status is 0 on success, otherwise a Windows error number. The
// caller closes every key it receives with RegCloseKey.
#pragma once
#include <windows.h>

// KEY_READ | KEY_WRITE.
enum { kKeyAccess = 0x2001F };

#include "common/names.h"

// Create-or-open: RegCreateKeyExA with the empty class text. On failure
// *key is null.
LONG open_key(HKEY root, const char* path, REGSAM access, HKEY* key);
// The settings key and the machine key, which the setup state names, are
// opened by open_settings_key and open_machine_key (setup/state.h).

LONG read_dword_value(HKEY key, const char* name, DWORD* value);
// Reads a string into buffer (capacity bytes). A success guarantees a
// zero-terminated text inside the buffer: a stored value that fills the
// capacity without a terminating zero is refused (ERROR_MORE_DATA), so it
// counts as absent like any value longer than the capacity.
LONG read_string_value(HKEY key, const char* name, char* buffer, DWORD capacity);
LONG write_dword_value(HKEY key, const char* name, DWORD value);
// REG_SZ with the terminating zero.
LONG write_string_value(HKEY key, const char* name, const char* text);

// Closes the key it holds when it goes out of scope.
struct RegistryKey {
    HKEY handle;
    RegistryKey() : handle(NULL) {}
    ~RegistryKey()
    {
        if (handle != NULL)
            RegCloseKey(handle);
    }
    RegistryKey(const RegistryKey&) = delete;
    RegistryKey& operator=(const RegistryKey&) = delete;
};
