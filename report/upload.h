// Report upload: posts the crash report to the report server as one HTTP
// form submission and tells whether the server acknowledged it.
#pragma once
#include <windows.h>

// The form-encoded crash report ("log=..."), built by the crash filter and
// sent by report_upload. Lives for the whole process.
enum { kReportBodySize = 2048 };
extern char g_reportBody[kReportBodySize];

// Turns every blank of the report body into '+', switches autodial off for
// the attempt and posts the body to /vreport.asp. TRUE only when the first
// read of the answer (at most 64 bytes) gives exactly "OK", whatever the
// HTTP status says.
BOOL report_upload();

// Stores newValue as the current user's "EnableAutoDial" and returns the
// value it held before: 0 when that could not be read, -1 when the
// Internet Settings key could not be opened (nothing is written then).
LONG autodial_switch(DWORD newValue);
