// Where an open file really lies. A name in a folder may be a link that
// leads out of it (a symbolic link, or a second name of a file elsewhere):
// the file functions then read, write and delete the file it leads to. The
// setup program and the uninstaller judge an installed file on the handle
// they opened, so that nothing can be swapped in between.
#pragma once
#include <windows.h>

enum FilePlace {
    kPlaceUnknown = -1, // the system could not tell (the last error says why)
    kPlaceElsewhere,    // a link out of the folder, or a file with other names too
    kPlaceInFolder,     // the file "name" directly in the folder itself
};

// Where file (an open handle) lies against name in folder, as the system
// resolves both: a folder reached through a link or junction still counts
// as itself. Where the system cannot resolve final paths
// (GetFinalPathNameByHandleA, looked up at run time: Windows Vista and
// later), a reparse point counts as leading elsewhere.
FilePlace file_place(HANDLE file, const char* folder, const char* name);
