#include "install_record.h"

#include <string.h>

#include "folder_check.h"
#include "ownership.h"
#include "common/registry.h"
#include "common/names.h"

#define APP_PATHS_ENTRY APP_PATHS_KEY_PATH "\\" MAIN_PROGRAM_NAME
#define UNINSTALL_ENTRY UNINSTALL_KEY_PATH "\\" PRODUCT_NAME

namespace {

// The settings key's value that names the folder of a removal under way.
const char kRemovalValue[] = "RemovedFrom";

// A string value of an existing key; false when it cannot be read.
bool read_path_value(HKEY root, const char* keyPath, const char* name, char* value)
{
    RegistryKey key;
    if (RegOpenKeyExA(root, keyPath, 0, KEY_QUERY_VALUE, &key.handle) != ERROR_SUCCESS) {
        key.handle = NULL;
        return false;
    }
    return read_string_value(key.handle, name, value, kPathSize) == ERROR_SUCCESS;
}

// Reads "Path" from an existing key; ERROR_FILE_NOT_FOUND when the key or
// the value is missing.
LONG read_path(HKEY root, const char* keyPath, REGSAM access, char* path, LONG* openStatus)
{
    RegistryKey key;
    LONG status = RegOpenKeyExA(root, keyPath, 0, access, &key.handle);
    if (openStatus != NULL)
        *openStatus = status;
    if (status != ERROR_SUCCESS) {
        key.handle = NULL;
        return ERROR_FILE_NOT_FOUND;
    }
    return read_string_value(key.handle, "Path", path, kPathSize);
}

// Whether a value read with status (into named) names target, a folder or
// a file. A missing value names nothing; one that cannot be read, or a
// name that cannot be resolved, leaves it open: such an entry stays, and
// is listed.
PathComparison naming(LONG status, const char* named, const char* target)
{
    if (status == ERROR_FILE_NOT_FOUND)
        return kOtherPath;
    return status == ERROR_SUCCESS ? compare_paths(named, target) : kPathUnknown;
}

// "Path" goes from the key when it names the folder (or, for the key the
// record came from, whatever it names: it is the record itself).
void remove_path_value(HKEY root, const char* keyPath, const char* folder, bool isSource,
                       const char* label, Report* report)
{
    RegistryKey key;
    if (RegOpenKeyExA(root, keyPath, 0, KEY_QUERY_VALUE | KEY_SET_VALUE, &key.handle) !=
        ERROR_SUCCESS) {
        key.handle = NULL;
        // A source key that can no longer be opened for writing keeps its
        // record; another key was never this uninstaller's business.
        if (isSource)
            report_failure(report, label);
        return;
    }
    PathBuffer path;
    LONG status = read_string_value(key.handle, "Path", path, kPathSize);
    if (status == ERROR_FILE_NOT_FOUND)
        return;
    if (!isSource) {
        PathComparison named = naming(status, path, folder);
        if (named == kPathUnknown)
            report_failure(report, label);
        if (named != kSamePath)
            return;
    }
    if (RegDeleteValueA(key.handle, "Path") != ERROR_SUCCESS)
        report_failure(report, label);
}

// The App Paths entry is removed only when it points into this
// installation: a later installation elsewhere owns it otherwise.
void remove_app_paths_entry(const char* folder, const char* mainProgram, Report* report)
{
    {
        RegistryKey entry;
        LONG status =
            RegOpenKeyExA(HKEY_LOCAL_MACHINE, APP_PATHS_ENTRY, 0, KEY_QUERY_VALUE, &entry.handle);
        if (status != ERROR_SUCCESS) {
            entry.handle = NULL;
            // An entry that is there but cannot be read stays, and is listed.
            if (status != ERROR_FILE_NOT_FOUND)
                report_failure(report, "HKEY_LOCAL_MACHINE\\" APP_PATHS_ENTRY);
            return;
        }
        PathBuffer program, path;
        PathComparison byProgram =
            naming(read_string_value(entry.handle, NULL, program, kPathSize), program, mainProgram);
        PathComparison byPath =
            naming(read_string_value(entry.handle, "Path", path, kPathSize), path, folder);
        if (byProgram != kSamePath && byPath != kSamePath) {
            if (byProgram == kPathUnknown || byPath == kPathUnknown)
                report_failure(report, "HKEY_LOCAL_MACHINE\\" APP_PATHS_ENTRY);
            return;
        }
    }
    if (RegDeleteKeyA(HKEY_LOCAL_MACHINE, APP_PATHS_ENTRY) != ERROR_SUCCESS)
        report_failure(report, "HKEY_LOCAL_MACHINE\\" APP_PATHS_ENTRY);
}

} // namespace

// The folder of the main program that "DisplayIcon" names ("C:\...\x.exe",
// perhaps quoted, perhaps with ",0" after it), into folder; empty when it
// names none.
void icon_folder(const char* icon, char* folder)
{
    PathBuffer path;
    lstrcpynA(path, icon[0] == '"' ? icon + 1 : icon, kPathSize);
    char* name = (char*)path_file_name(path);
    for (char* at = name; *at != '\0'; at = CharNextA(at))
        if (*at == '"' || *at == ',')
            *at = '\0';
    folder[0] = '\0';
    if (name > path + 1) {
        name[-1] = '\0';
        comparable_path(path, folder);
    }
}

// The uninstall entry is removed only when its "InstallLocation" names
// this installation: a later installation elsewhere owns it otherwise, and
// so does an installation whose files stand where "DisplayIcon" points.
void remove_uninstall_entry(const char* folder, bool recorded, Report* report)
{
    const char kLabel[] = "HKEY_LOCAL_MACHINE\\" UNINSTALL_ENTRY;
    {
        RegistryKey entry;
        LONG status =
            RegOpenKeyExA(HKEY_LOCAL_MACHINE, UNINSTALL_ENTRY, 0, KEY_QUERY_VALUE, &entry.handle);
        if (status != ERROR_SUCCESS)
            entry.handle = NULL;
        if (status == ERROR_FILE_NOT_FOUND)
            return;
        PathBuffer location, icon, iconFolder;
        if (status == ERROR_SUCCESS) {
            status = read_string_value(entry.handle, "InstallLocation", location, kPathSize);
            PathComparison named = naming(status, location, folder);
            if (status == ERROR_FILE_NOT_FOUND && !recorded) {
                // Found without a record, the folder proves nothing of an
                // entry that names none.
                report_item(&report->foreign, kLabel);
                return;
            }
            if (status != ERROR_FILE_NOT_FOUND && named == kPathUnknown)
                report_failure(report, kLabel);
            if (status != ERROR_FILE_NOT_FOUND && named != kSamePath)
                return;
            if (read_string_value(entry.handle, "DisplayIcon", icon, kPathSize) == ERROR_SUCCESS) {
                icon_folder(icon, iconFolder);
                if (iconFolder[0] != '\0' && compare_paths(iconFolder, folder) != kSamePath &&
                    holds_installed_files(iconFolder)) {
                    report_item(&report->foreign, kLabel);
                    return;
                }
            }
        }
        // Files of the installation that could not be removed keep it listed.
        if (holds_installed_files(folder)) {
            report_failure(report, kLabel);
            return;
        }
    }
    LONG status = RegDeleteKeyA(HKEY_LOCAL_MACHINE, UNINSTALL_ENTRY);
    if (status != ERROR_SUCCESS && status != ERROR_FILE_NOT_FOUND)
        report_failure(report, kLabel);
}

void record_removal(const char* folder)
{
    RegistryKey key;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, SETTINGS_KEY_PATH, 0, NULL, 0, KEY_SET_VALUE, NULL,
                        &key.handle, NULL) != ERROR_SUCCESS) {
        key.handle = NULL;
        return;
    }
    write_string_value(key.handle, kRemovalValue, folder);
}

bool removal_recorded(const char* folder)
{
    PathBuffer recorded;
    return read_path_value(HKEY_CURRENT_USER, SETTINGS_KEY_PATH, kRemovalValue, recorded) &&
           same_path(recorded, folder);
}

bool read_install_location(char* path)
{
    RegistryKey entry;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, UNINSTALL_ENTRY, 0, KEY_QUERY_VALUE, &entry.handle) !=
        ERROR_SUCCESS) {
        entry.handle = NULL;
        return false;
    }
    return read_string_value(entry.handle, "InstallLocation", path, kPathSize) == ERROR_SUCCESS;
}

void find_install_record(InstallRecord* record)
{
    record->source = kRecordNone;
    record->status = ERROR_FILE_NOT_FOUND;
    record->path[0] = '\0';

    // The setup program writes the machine key whenever it can; a user who
    // may not write it had "Path" kept in the settings key instead.
    LONG machineOpen;
    LONG status =
        read_path(HKEY_LOCAL_MACHINE, MACHINE_KEY_PATH, kKeyAccess, record->path, &machineOpen);
    if (status != ERROR_FILE_NOT_FOUND) {
        record->source = kRecordMachineKey;
        record->status = status;
        return;
    }
    status = read_path(HKEY_CURRENT_USER, SETTINGS_KEY_PATH, KEY_QUERY_VALUE, record->path, NULL);
    if (status != ERROR_FILE_NOT_FOUND) {
        record->source = kRecordSettingsKey;
        record->status = status;
        return;
    }
    // Installed by someone who could write the machine key.
    if (machineOpen == ERROR_ACCESS_DENIED &&
        read_path(HKEY_LOCAL_MACHINE, MACHINE_KEY_PATH, KEY_QUERY_VALUE, record->path, NULL) !=
            ERROR_FILE_NOT_FOUND)
        record->source = kRecordOtherUsers;
    record->path[0] = '\0';
}

void remove_registration(const InstallRecord& record, const char* folder,
                         const char* mainProgram, Report* report)
{
    remove_app_paths_entry(folder, mainProgram, report);

    // Left in either key, "Path" would bring the removed folder back as
    // the next installation's proposal (the setup program copies the
    // settings key's "Path" into the machine key).
    remove_path_value(HKEY_LOCAL_MACHINE, MACHINE_KEY_PATH, folder,
                      record.source == kRecordMachineKey,
                      "\"Path\" in HKEY_LOCAL_MACHINE\\" MACHINE_KEY_PATH, report);
    remove_path_value(HKEY_CURRENT_USER, SETTINGS_KEY_PATH, folder,
                      record.source == kRecordSettingsKey,
                      "\"Path\" in HKEY_CURRENT_USER\\" SETTINGS_KEY_PATH, report);
}
