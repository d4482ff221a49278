// The one check a folder must pass to become the install folder. It also
// prepares the folder: trailing backslashes go, a missing folder is created
// (one level), and an accepted folder becomes the current directory.
#pragma once
#include <windows.h>

// Why a folder was turned down; each has its own message and step code.
enum LocationVerdict {
    kLocationAccepted = 0,
    kLocationBadDriveSpec,   // "11"
    kLocationRemovableDrive, // "12"
    kLocationRemoteDrive,    // "12"
    kLocationInvalidDrive,   // "12": CD-ROM or RAM disk
    kLocationNotAFolder,     // "13"
    kLocationReadOnly,       // "14"
    kLocationInvalidFolder,  // "15": temporary or offline
    kLocationCannotCreate,   // "16"
    kLocationTooLong,        // "27"
};

// The longest folder accepted: within MAX_PATH there must remain room for
// the main program's name (13 characters) and 20 spare ones.
enum { kLongestInstallFolder = MAX_PATH - 13 - 20 };

// Checks and prepares path (a 520-byte path buffer, changed in place).
// Returns 1 when the folder is accepted. A rejection shows its error notice
// when notify is non-zero; with notify 0 it is silent but has exactly the
// same effects.
int location_validation(char* path, int notify);

// The drive check: which drive types are turned down.
LocationVerdict drive_type_verdict(UINT driveType);

// The attribute check of a folder that could be entered, in its order:
// not a folder, read only, temporary or offline. A failed query
// (INVALID_FILE_ATTRIBUTES) lands on "read only".
LocationVerdict folder_attribute_verdict(DWORD attributes);

// The message and step code of a rejection (null for kLocationAccepted).
const char* location_verdict_text(LocationVerdict verdict);
const char* location_verdict_code(LocationVerdict verdict);

// Shows the error notice of a rejection; nothing for kLocationAccepted.
void location_rejection_notice(LocationVerdict verdict);
