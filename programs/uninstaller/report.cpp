#include "report.h"

#include <string.h>

void report_failure(Report* report, const char* item)
{
    ++report->failures;
    size_t used = strlen(report->text);
    size_t length = strlen(item);
    // Room for the item, its line break and a closing "... and N more".
    if (used + length + 2 + 32 > sizeof report->text)
        return;
    memcpy(report->text + used, item, length);
    report->text[used + length] = '\n';
    report->text[used + length + 1] = '\0';
    ++report->listed;
}
