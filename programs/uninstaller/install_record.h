// Where the setup program recorded the installation, and the registry
// entries it made for it.
#pragma once
#include <windows.h>

#include "report.h"
#include "common/path.h"

enum RecordSource {
    kRecordNone,        // no "Path" anywhere this user can act on
    kRecordMachineKey,  // HKLM "SOFTWARE\Tervick"
    kRecordSettingsKey, // the user's settings key (machine key closed, or no "Path" in it)
    kRecordOtherUsers,  // only the machine key holds it, and this user may not change it
};

struct InstallRecord {
    RecordSource source;
    LONG status;      // of reading "Path" from the source: 0, or ERROR_MORE_DATA
    PathBuffer path;  // the recorded "Path" when status is 0
};

// Reads "Path" the way the setup program chose its key: the machine key
// when this user can write it and it holds the value, else the settings
// key. Opens keys only; creates nothing.
void find_install_record(InstallRecord* record);

// Removes the App Paths entry when it names this installation, and
// "Path" from the key it was found in and from the other key when it names
// the same folder. The settings key's other values stay. What cannot be
// removed goes into the report.
void remove_registration(const InstallRecord& record, const char* folder,
                         const char* mainProgram, Report* report);

// Removes the uninstall entry when its "InstallLocation" names folder (or
// it has none); one that cannot be removed goes into the report.
void remove_uninstall_entry(const char* folder, Report* report);

// The uninstall entry's "InstallLocation" into path (a path buffer); false
// when there is no entry or no such value, or it does not fit.
bool read_install_location(char* path);
