// Writing a buffer to a file, for every file the setup program and the
// uninstaller write.
#pragma once
#include <windows.h>

// Writes all count bytes at the file's position, in as many WriteFile
// calls as the system needs. 1 when every byte was taken; else 0 with the
// failed write's own error (ERROR_DISK_FULL on a full disk, for instance)
// as the last error, or ERROR_WRITE_FAULT when the system gave none, as
// when a write takes nothing and reports success.
int write_whole(HANDLE file, const void* bytes, DWORD count);
