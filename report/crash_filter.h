// Crash capture: the process's unhandled-exception filter. It tells the
// user, records a crash report in the report key, posts the same report
// until the report server acknowledges it, then removes the report key.
#pragma once
#include <windows.h>

// Installed with SetUnhandledExceptionFilter. Returns 0
// (EXCEPTION_CONTINUE_SEARCH) on every path, so the system then ends the
// process; SEM_NOGPFAULTERRORBOX keeps its own fault dialog away.
LONG WINAPI crash_filter(EXCEPTION_POINTERS* pointers);

// The system's name of an exception code, or "<UNKNOWN ERROR>".
const char* exception_name(DWORD code);

// An address inside image (a loaded module) as it is when the module
// stands at linkBase, its link-time base; any other address as it is.
DWORD address_at_link_base(const void* address, HMODULE image, DWORD linkBase);

// Writes "log00".."log03" into the report key (when it opens) and builds
// the report body from the same texts; "log02" gives an address of this
// program's own image at its link-time base.
void write_crash_report(const EXCEPTION_RECORD* record);

// Deletes the report key from its parent, Software\Tervick\Veltranox,
// which stays (and is created when missing).
void remove_report_key();
