// The list of what could not be removed, for the closing message.
#pragma once

enum { kReportSize = 2048 };

struct Report {
    int failures;           // items that could not be removed
    int listed;             // of them, how many are in text
    char text[kReportSize]; // one item a line
};

void report_failure(Report* report, const char* item);
