#include "payload/resource.h"

#include "setup/notice.h"

HGLOBAL find_payload_resource(UINT id, DWORD* size)
{
    HRSRC info = FindResourceA(NULL, MAKEINTRESOURCEA(id & 0xFFFF), "FILE");
    if (info == NULL) {
        system_error_notice(GetLastError(), "60");
        return NULL;
    }
    *size = SizeofResource(NULL, info);
    if (*size == 0) {
        system_error_notice(GetLastError(), "61");
        return NULL;
    }
    HGLOBAL loaded = LoadResource(NULL, info);
    if (loaded == NULL) {
        system_error_notice(GetLastError(), "62");
        return NULL;
    }
    return loaded;
}
