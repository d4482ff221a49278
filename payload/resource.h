#pragma once
#include <windows.h>

// Finds, sizes and loads payload resource id (type "FILE") of the program's
// own module, and checks its bytes against the CRC-32 that the build
// recorded for it. *size is set also when it is 0. Returns null after
// showing the system error notice "60", "61" or "62" (none for error
// number 0; ERROR_CRC under "62" for bytes that are not those built in),
// with the reason left as the last error. The caller locks the handle and
// frees it with FreeResource.
HGLOBAL find_payload_resource(UINT id, DWORD* size);
