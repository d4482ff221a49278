#include "removal.h"

#include <windows.h>
#include <string.h>

#include "folder_check.h"
#include "payload/catalogue.h"
#include "common/names.h"
#include "common/retried_delete.h"
#include "common/path.h"

namespace {

// The name the main program replacement expands the new copy under.
const char kImageName[] = IMAGE_FILE_NAME;

// Deleted, or gone by itself while the attempts ran.
bool deleted_or_gone(const char* path)
{
    return retried_delete(path) || GetFileAttributesA(path) == INVALID_FILE_ATTRIBUTES;
}

void remove_file(const char* folder, const char* name, Report* report)
{
    PathBuffer path;
    path_join(folder, name, path);
    remove_installed_file(path, report);
}

// The entries that remove_installed_files deletes: the folder's files
// except the main program and the uninstaller.
bool removed_first(const PayloadEntry& entry)
{
    return entry.destination == PayloadDestination::InstallFolder;
}

bool is_in_folder(const char* folder, const char* name)
{
    PathBuffer path;
    path_join(folder, name, path);
    return path[0] != '\0' && GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES;
}

} // namespace

void remove_installed_file(const char* path, Report* report)
{
    if (path[0] == '\0')
        return;
    // Only a file that is not there is no failure; one whose attributes
    // cannot be read may well be.
    if (GetFileAttributesA(path) == INVALID_FILE_ATTRIBUTES &&
        (GetLastError() == ERROR_FILE_NOT_FOUND || GetLastError() == ERROR_PATH_NOT_FOUND))
        return;
    if (!deleted_or_gone(path))
        report_failure(report, path);
}

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
        if (removed_first(kPayloadCatalogue[i]))
            remove_file(folder, kPayloadCatalogue[i].fileName, report);
    }
    remove_file(folder, kImageName, report);
}

bool holds_installed_files(const char* folder)
{
    for (int i = 0; i < kPayloadEntryCount; ++i) {
        if ((removed_first(kPayloadCatalogue[i]) ||
             kPayloadCatalogue[i].destination == PayloadDestination::MainProgram) &&
            is_in_folder(folder, kPayloadCatalogue[i].fileName))
            return true;
    }
    return is_in_folder(folder, kImageName);
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
