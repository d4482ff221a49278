// Whether a recorded install folder may be an installation at all: never a
// drive root, the Windows folder or a path of another form.
#pragma once

enum FolderVerdict {
    kFolderAccepted,
    kFolderEmpty,              // the recorded text is empty
    kFolderNotFullPath,        // not "X:\..." (relative, drive-relative, network)
    kFolderTooLong,
    kFolderDriveRoot,          // "C:\", "C:", or something that resolves to it
    kFolderWindows,            // the Windows directory or a folder inside it
    kFolderMissing,            // no folder of that name
};

// Checks the recorded text. On acceptance folder (a path buffer) holds the
// folder as a full path in its long form, without a trailing backslash;
// else it is empty. Whether the folder holds an installation is for the
// files in it to prove (holds_installed_files).
FolderVerdict install_folder_check(const char* recorded, char* folder);

// The full, long form of a path without trailing backslashes, as used for
// comparisons. Empty when the path cannot be resolved or does not fit.
void comparable_path(const char* path, char* out);

enum PathComparison { kSamePath, kOtherPath, kPathUnknown };

// Whether both texts name the same folder or file (case and 8.3 aliases
// aside, trailing backslashes ignored): unknown when a text cannot be
// resolved. An empty text names nothing.
PathComparison compare_paths(const char* a, const char* b);

// compare_paths gives kSamePath.
bool same_path(const char* a, const char* b);
