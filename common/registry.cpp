#include "common/registry.h"

#include <string.h>

#include "common/path.h"

LONG open_key(HKEY root, const char* path, REGSAM access, HKEY* key)
{
    DWORD disposition;
    LONG status = RegCreateKeyExA(root, path, 0, (LPSTR)kEmptyString, REG_OPTION_NON_VOLATILE,
                                  access, NULL, key, &disposition);
    if (status != ERROR_SUCCESS)
        *key = NULL;
    return status;
}

LONG read_dword_value(HKEY key, const char* name, DWORD* value)
{
    DWORD size = sizeof(DWORD);
    return RegQueryValueExA(key, name, NULL, NULL, (BYTE*)value, &size);
}

LONG read_string_value(HKEY key, const char* name, char* buffer, DWORD capacity)
{
    if (capacity == 0)
        return ERROR_MORE_DATA;
    DWORD size = capacity;
    LONG status = RegQueryValueExA(key, name, NULL, NULL, (BYTE*)buffer, &size);
    if (status != ERROR_SUCCESS)
        return status;
    // The stored bytes need not end in a zero. Terminate after them when
    // there is room; a value that fills the whole capacity with no zero in
    // it has no end inside the buffer and is refused.
    if (size < capacity)
        buffer[size] = '\0';
    else if (memchr(buffer, '\0', capacity) == NULL)
        return ERROR_MORE_DATA;
    return ERROR_SUCCESS;
}

LONG write_dword_value(HKEY key, const char* name, DWORD value)
{
    return RegSetValueExA(key, name, 0, REG_DWORD, (const BYTE*)&value, sizeof value);
}

LONG write_string_value(HKEY key, const char* name, const char* text)
{
    return RegSetValueExA(key, name, 0, REG_SZ, (const BYTE*)text, (DWORD)strlen(text) + 1);
}
