#include "removal.h"

#include <windows.h>
#include <string.h>

#include "folder_check.h"
#include "ownership.h"
#include "payload/catalogue.h"
#include "common/names.h"
#include "common/path.h"

namespace {

// The name the main program replacement expands the new copy under.
const char kImageName[] = IMAGE_FILE_NAME;

// Removes name in folder by what the check found.
void remove_checked(CheckedFile& file, Ownership ownership, const char* folder, const char* name,
                    ReportList* notOurs, Report* report)
{
    PathBuffer path;
    path_join(folder, name, path);
    switch (ownership) {
    case kAbsent:
        return;
    case kOurs:
        if (!file.remove())
            report_failure(report, path);
        return;
    case kChanged:
        report_item(notOurs, path);
        return;
    case kLeadsOut:
        report_item(&report->foreign, path);
        return;
    case kUnreadable:
        report_failure(report, path);
        return;
    }
}

void remove_entry(const char* folder, int entry, Report* report)
{
    const char* name = kPayloadCatalogue[entry].fileName;
    CheckedFile file;
    Ownership ownership = file.check(folder, name, entry, entry == kMainProgramEntry);
    remove_checked(file, ownership, folder, name, &report->changed, report);
}

} // namespace

bool main_program_in_use(const char* mainProgram)
{
    HANDLE file = CreateFileA(mainProgram, GENERIC_READ | GENERIC_WRITE, 0, NULL, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, NULL);
    if (file != INVALID_HANDLE_VALUE) {
        CloseHandle(file);
        return false;
    }
    return GetLastError() == ERROR_SHARING_VIOLATION;
}

void remove_installed_files(const char* folder, Report* report)
{
    for (int i = 0; i < kPayloadEntryCount; ++i) {
        if (kPayloadCatalogue[i].destination == PayloadDestination::InstallFolder)
            remove_entry(folder, i, report);
    }
    // The setup program leaves "image.tmp" only when a replacement was cut
    // short, and then it holds the main program it carried: another
    // program's file of that name stays.
    CheckedFile image;
    Ownership ownership = image.check(folder, kImageName, kMainProgramSums, false);
    remove_checked(image, ownership, folder, kImageName, &report->foreign, report);
}

void remove_main_program(const char* folder, Report* report)
{
    remove_entry(folder, kMainProgramEntry, report);
}

void remove_folder_uninstaller(const char* folder, const char* self, Report* report)
{
    CheckedFile file;
    Ownership ownership = file.check_same_as(folder, UNINSTALLER_NAME, self);
    remove_checked(file, ownership, folder, UNINSTALLER_NAME, &report->foreign, report);
}

int folder_entry_count(const char* folder, const char* except)
{
    PathBuffer pattern;
    path_join(folder, "*", pattern);
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA(pattern, &found);
    if (search == INVALID_HANDLE_VALUE)
        return 0;
    int count = 0;
    do {
        if (strcmp(found.cFileName, ".") == 0 || strcmp(found.cFileName, "..") == 0)
            continue;
        PathBuffer path;
        path_join(folder, found.cFileName, path);
        if (except == NULL || !same_path(path, except))
            ++count;
    } while (FindNextFileA(search, &found));
    FindClose(search);
    return count;
}

bool remove_folder_if_empty(const char* folder, Report* report)
{
    if (folder_entry_count(folder, NULL) != 0)
        return false;
    SetFileAttributesA(folder, FILE_ATTRIBUTE_NORMAL);
    if (RemoveDirectoryA(folder))
        return true;
    report_failure(report, folder);
    return false;
}
