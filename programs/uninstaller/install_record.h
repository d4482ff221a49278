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

// Removes the uninstall entry when it is this installation's: its
// "InstallLocation" names folder (an entry without one, as earlier versions
// wrote it, only when the record named the folder), and no folder it names
// ("InstallLocation", "DisplayIcon") still holds files of the installation.
// An entry that stays for such files is listed; one that cannot be removed
// goes into the report.
void remove_uninstall_entry(const char* folder, bool recorded, Report* report);

// The folder of a removal under way, kept in the settings key: a removal
// whose own uninstaller lies in the folder can still be finished after the
// last installed file went, when nothing but that uninstaller is left to
// tell that the folder was an installation. The value stays afterwards,
// like the settings key's others: deleting it would only open that gap
// again at the very end.
void record_removal(const char* folder);
bool removal_recorded(const char* folder);

// The uninstall entry's "InstallLocation" into path (a path buffer); false
// when there is no entry or no such value, or it does not fit.
bool read_install_location(char* path);
