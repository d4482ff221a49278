// The crash report key as the report tests read it back from the current
// user's registry.
#pragma once
#include <windows.h>
#include <string.h>

#include <string>

#include "tests/support/registry.h"

namespace report_key {

const char kParentPath[] = "Software\\Tervick\\Veltranox";
const char kReportPath[] = "Software\\Tervick\\Veltranox\\report";

// The REG_SZ value of the report key as stored, or "<missing>" /
// "<not REG_SZ>" / "<no terminator>".
inline std::string report_value(const char* name)
{
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kReportPath, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return "<missing>";
    char data[256];
    DWORD size = sizeof data, type = 0;
    LONG status = RegQueryValueExA(key, name, NULL, &type, (BYTE*)data, &size);
    RegCloseKey(key);
    if (status != ERROR_SUCCESS)
        return "<missing>";
    if (type != REG_SZ)
        return "<not REG_SZ>";
    if (size == 0 || data[size - 1] != '\0' || strlen(data) != size - 1)
        return "<no terminator>";
    return data;
}

} // namespace report_key
