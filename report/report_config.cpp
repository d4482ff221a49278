// Release values of the report server settings. Nothing else may live in
// this file: a program that defines the two constants itself must never
// need this object (see report_config.h).
#include "report/report_config.h"

#ifndef REPORT_SERVER_HOST
#define REPORT_SERVER_HOST "reports.tervick.com"
#endif
#ifndef REPORT_RETRY_MS
#define REPORT_RETRY_MS 600000
#endif

const char kReportServerHost[] = REPORT_SERVER_HOST;
const DWORD kReportRetryMs = REPORT_RETRY_MS;
