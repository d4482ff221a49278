// Installing the main program over an earlier copy: refused while that copy
// is in use or when it is newer than ours.
#pragma once
#include <windows.h>

#include "resources/version.h"

// Results of main_program_replacement().
enum ReplacementResult {
    kReplaced = 1,         // the new main program stands at its path
    kMainProgramInUse = 2, // still held open after one wait
    kNewerInstalled = 3,   // the installed copy is newer than ours
    kReplacementFailed = 5 // notice already shown (when the system gave a reason)
};

// Expands payload resource 106 to "image.tmp" in the install folder, waits
// until that file can be opened exclusively, deletes the old main program
// and moves the image into its place. Reads the install folder and the main
// program path from the setup state.
int main_program_replacement();

// Reads the file version of path: *major is the first of its four numbers,
// *leastSignificant is dwFileVersionLS whole. Both are 0 unless the fixed
// version information was read. Returns 1 when the file has version
// information and a buffer for it could be allocated, else 0.
int file_version_query(const char* path, DWORD* major, DWORD* leastSignificant);

// The version of the main program that we carry (1.0.0.1): its first number,
// and its third and fourth as dwFileVersionLS holds them.
enum {
    kCarriedMajor = RELEASE_VERSION_MAJOR,
    kCarriedLeastSignificant = (RELEASE_VERSION_BUILD << 16) | RELEASE_VERSION_PATCH
};

// Waits, in milliseconds.
enum {
    kInUseWait = 3000,      // before the second open of a copy in use
    kImageOpenDelay = 100,  // before each open of the image
    kImageRetryDelay = 1000, // after each failed open of the image
    kImageOpenAttempts = 3
};
