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

// Writes "log00".."log03" into the report key (when it opens) and builds
// the report body from the same texts.
void write_crash_report(const EXCEPTION_RECORD* record);

// Deletes the report key from its parent, Software\Tervick\Veltranox,
// which stays (and is created when missing).
void remove_report_key();
