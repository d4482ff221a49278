#pragma once
#include <windows.h>

// A message box with no owner, MB_ICONERROR alone, caption "ERROR " + code.
void error_notice(const char* text, const char* stepCode);

// The same box with the system's message text for errorNumber; shows
// nothing for error number 0.
void system_error_notice(DWORD errorNumber, const char* stepCode);
