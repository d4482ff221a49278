// What the closing message lists: what could not be removed, and what was
// kept on purpose because it changed since the installation or is not the
// installation's at all.
#pragma once

enum { kReportListSize = 1200 };

struct ReportList {
    int count;                  // items
    int listed;                 // of them, how many are in text
    char text[kReportListSize]; // one item a line
};

struct Report {
    ReportList failed;  // could not be removed
    ReportList changed; // installed files that the user (or a program) changed: kept
    ReportList foreign; // not the installation's (another program's, or a link out): kept
};

// Adds item to a list.
void report_item(ReportList* list, const char* item);

// Adds item to the list of what could not be removed.
void report_failure(Report* report, const char* item);
