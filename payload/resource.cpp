#include "payload/resource.h"

#include "common/crc32.h"
#include "setup/notice.h"

namespace {

// The table the build records beside the payload: for each "FILE"
// resource, its id and the CRC-32 of its bytes, as little-endian 32-bit
// pairs.
const char kChecksumType[] = "FILECRC";
enum { kChecksumTable = 1 };

DWORD little_endian(const BYTE* at)
{
    return at[0] | (at[1] << 8) | (at[2] << 16) | ((DWORD)at[3] << 24);
}

// ERROR_SUCCESS when the bytes are those the build recorded for id, else
// ERROR_CRC. The check fails closed: a table that is missing, cannot be
// read or lacks the id fails it, so that a damage that takes out the table
// cannot take out the check with it.
DWORD payload_check(UINT id, const void* bytes, DWORD size)
{
    HRSRC info = FindResourceA(NULL, MAKEINTRESOURCEA(kChecksumTable), kChecksumType);
    if (info == NULL)
        return ERROR_CRC;
    DWORD tableSize = SizeofResource(NULL, info);
    HGLOBAL loaded = LoadResource(NULL, info);
    const BYTE* table = loaded != NULL ? static_cast<const BYTE*>(LockResource(loaded)) : NULL;
    if (table == NULL)
        return ERROR_CRC;
    for (DWORD at = 0; at + 8 <= tableSize; at += 8) {
        if (little_endian(table + at) == (id & 0xFFFF))
            return crc32_update(0, bytes, size) == little_endian(table + at + 4) ? ERROR_SUCCESS
                                                                                  : ERROR_CRC;
    }
    return ERROR_CRC;
}

// The lookup's notices leave the reason as the last error, for the caller.
HGLOBAL lookup_failure(DWORD error, const char* stepCode)
{
    system_error_notice(error, stepCode);
    SetLastError(error);
    return NULL;
}

} // namespace

HGLOBAL find_payload_resource(UINT id, DWORD* size)
{
    HRSRC info = FindResourceA(NULL, MAKEINTRESOURCEA(id & 0xFFFF), "FILE");
    if (info == NULL)
        return lookup_failure(GetLastError(), "60");
    *size = SizeofResource(NULL, info);
    if (*size == 0)
        return lookup_failure(GetLastError(), "61");
    HGLOBAL loaded = LoadResource(NULL, info);
    if (loaded == NULL)
        return lookup_failure(GetLastError(), "62");
    const void* bytes = LockResource(loaded);
    DWORD check = bytes != NULL ? payload_check(id, bytes, *size) : ERROR_SUCCESS;
    if (check != ERROR_SUCCESS) {
        FreeResource(loaded);
        return lookup_failure(check, "62");
    }
    return loaded;
}
