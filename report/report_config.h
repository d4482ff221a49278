// Where crash reports go and how long the crash filter waits between two
// attempts. Defined once per program: report_config.cpp carries the
// release values; a test program that defines both constants itself (in
// one of its own object files) is linked with those instead, because the
// linker then never needs report_config.o from the library.
#pragma once
#include <windows.h>

// Host name of the report server (HTTP, port 80).
extern const char kReportServerHost[];
// Pause between two upload attempts, in milliseconds.
extern const DWORD kReportRetryMs;
