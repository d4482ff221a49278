// The registry as the tests set it up and read it back, with plain
// advapi32 calls rather than the program's own helpers.
#pragma once
#include <windows.h>

#include <string>

#include "tests/support/files.h"

// The keys the program keeps its values in, spelled out here on their own.
const char kSettingsKey[] = "Software\\Tervick\\Veltranox\\Settings";  // HKCU
const char kMachineKey[] = "SOFTWARE\\Tervick";                        // HKLM

struct StoredValue {
    bool present = false;
    DWORD type = 0;
    DWORD size = 0;        // bytes stored, terminator included
    std::string bytes;     // exactly the stored bytes
    // The text up to the first zero byte.
    std::string text() const { return std::string(bytes.c_str()); }
};

StoredValue read_value(HKEY root, const std::string& path, const char* name);
bool key_exists(HKEY root, const std::string& path);
void delete_key_tree(HKEY root, const std::string& path);
// REG_SZ with the terminating zero.
void set_string_value(HKEY root, const std::string& path, const char* name,
                      const std::string& text);
// Any type, the bytes exactly as given.
void set_raw_value(HKEY root, const std::string& path, const char* name, DWORD type,
                   const std::string& bytes);
// Names of the key's direct subkeys.
std::string subkey_names(HKEY root, const std::string& path);

// What Wine's own uninstaller prints for "--list": one line per installed
// program, "key|||display name".
std::string uninstaller_list();
// How often part occurs in text.
size_t count_of(const std::string& text, const std::string& part);
