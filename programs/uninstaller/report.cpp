#include "report.h"

#include <string.h>

void report_item(ReportList* list, const char* item)
{
    ++list->count;
    size_t used = strlen(list->text);
    size_t length = strlen(item);
    // Room for the item, its line break and a closing "... and N more".
    if (used + length + 2 + 32 > sizeof list->text)
        return;
    memcpy(list->text + used, item, length);
    list->text[used + length] = '\n';
    list->text[used + length + 1] = '\0';
    ++list->listed;
}

void report_failure(Report* report, const char* item)
{
    report_item(&report->failed, item);
}
