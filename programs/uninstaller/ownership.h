// Whether a file in the install folder is still what the setup program
// wrote there. The uninstaller deletes by proof, not by name: it carries
// the size and CRC-32 of every file its payload set installs (resource
// "FILESUMS" 1, made at build time from the same files the setup program
// carries), and a file is deleted only while it holds exactly those bytes.
// The user's edits and another program's files of the same names stay.
#pragma once
#include <windows.h>

#include "common/path.h"

enum Ownership {
    kAbsent,     // no file of that name
    kOurs,       // the installed bytes (a main program: or a newer version of ours)
    kChanged,    // other bytes under an installed name
    kLeadsOut,   // a link out of the folder, or a file that has other names too
    kUnreadable, // cannot be opened or read (held by another program, no access)
};

// The entry whose bytes a leftover "image.tmp" must hold: the setup program
// expands the main program under that name and moves it into place.
enum { kMainProgramSums = 0 };

// A file held open from its check to its deletion, sharing only reading:
// no other program can change, rename or delete it in between.
class CheckedFile {
public:
    CheckedFile() : handle_(INVALID_HANDLE_VALUE) { path_[0] = '\0'; }
    ~CheckedFile();
    CheckedFile(const CheckedFile&) = delete;
    CheckedFile& operator=(const CheckedFile&) = delete;

    // Checks name in folder against catalogue entry `entry` (an entry the
    // setup program installs into the install folder). A main program
    // entry also counts as ours when its version information names our
    // product and maker with a newer version (allowNewer).
    Ownership check(const char* folder, const char* name, int entry, bool allowNewer);

    // Checks name in folder against the file at reference: ours when it
    // holds exactly the same bytes (the uninstaller, against itself).
    Ownership check_same_as(const char* folder, const char* name, const char* reference);

    // Deletes the checked file through its handle (a read-only one too);
    // false with the file left as it was when the system refuses.
    bool remove();

private:
    // Opens and places the file; kOurs when it may be measured.
    Ownership open_in(const char* folder, const char* name);
    bool open(const char* path);
    void close();
    HANDLE handle_;
    PathBuffer path_;
};

// Whether folder holds a file that is provably the installation's: a
// catalogue file of the install folder with its installed bytes, or a
// leftover "image.tmp" that is.
bool holds_installed_files(const char* folder);

// Whether the file at path holds exactly the bytes of the file held open
// as file (read from its start); the held file's position is left at its
// end.
bool same_bytes(const char* path, HANDLE file);
