// Report server settings of the test programs: the stand-in server on this
// machine, and a short pause so that a test sees the filter try again.
#include "report/report_config.h"

const char kReportServerHost[] = "127.0.0.1";
const DWORD kReportRetryMs = 1000;
