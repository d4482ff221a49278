#pragma once
#include <windows.h>

// Every path, key path and registry string is held in one of these.
enum { kPathSize = 520 };
typedef char PathBuffer[kPathSize];

// Passed wherever an empty text is required; never written.
extern const char kEmptyString[];

// Paths are ANSI strings in the system's code page, which may be a
// double-byte one (932, 936, 949, 950): there the second byte of a
// character can be 0x5C, the byte of a backslash ("\x83\x5c" is a katakana
// in 932). The helpers below walk a path from its start with the system's
// lead-byte rule, so such a character is never taken for a separator. A
// lead byte right before the terminator counts as a character of its own;
// nothing is read past the terminator. On single-byte code pages they act
// byte by byte.

// True when the last character of path is a backslash.
bool path_ends_with_backslash(const char* path);

// Removes the last character when it is a backslash (C:\ becomes C:,
// C:\WINDOWS stays).
void remove_one_trailing_backslash(char* path);

// Removes every trailing backslash, but never shortens path below `keep`
// bytes (3 keeps the backslash of a drive root "C:\"). Returns the length
// left.
size_t remove_trailing_backslashes(char* path, size_t keep);

// The file name in path: what follows its last backslash, or the whole
// path when it has none.
const char* path_file_name(const char* path);

// True when the first `length` bytes of path are whole characters, so that
// path[length] starts a character (or is the terminator).
bool path_is_character_boundary(const char* path, size_t length);

// Joins folder and name into out (a path buffer): one backslash between
// them unless the folder is empty or already ends in one. When the result
// would not fit, out is left empty, so that a file call on it fails instead
// of reaching a shortened path that names some other file.
void path_join(const char* folder, const char* name, char* out);

// Appends text to path (a path buffer). Refuses, leaving path as it was,
// when the result would not fit.
bool path_append(char* path, const char* text);
