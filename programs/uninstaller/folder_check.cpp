#include "folder_check.h"

#include <windows.h>
#include <string.h>

#include "common/path.h"

namespace {

bool is_letter(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

// "inner" is "outer" itself or lies inside it; both in comparable form.
bool is_within(const char* inner, const char* outer)
{
    size_t length = strlen(outer);
    if (length == 0 || strlen(inner) < length)
        return false;
    if (CompareStringA(LOCALE_SYSTEM_DEFAULT, NORM_IGNORECASE, inner, (int)length, outer,
                       (int)length) != CSTR_EQUAL)
        return false;
    // The compared part must end between two characters: a backslash byte
    // after it could be the second half of a double-byte character.
    return (inner[length] == '\0' || inner[length] == '\\') &&
           path_is_character_boundary(inner, length);
}

} // namespace

void comparable_path(const char* path, char* out)
{
    out[0] = '\0';
    if (path[0] == '\0')
        return;
    PathBuffer full;
    DWORD length = GetFullPathNameA(path, kPathSize, full, NULL);
    if (length == 0 || length >= kPathSize)
        return;
    // The long form names a folder the same way whichever alias was
    // recorded; a path that does not exist keeps its full form.
    length = GetLongPathNameA(full, out, kPathSize);
    if (length == 0 || length >= kPathSize)
        strcpy(out, full);
    // A drive root keeps its backslash ("C:\"), so that it still reads as
    // the root and not as the drive's current folder.
    remove_trailing_backslashes(out, 3);
}

PathComparison compare_paths(const char* a, const char* b)
{
    if (a[0] == '\0' || b[0] == '\0')
        return kOtherPath;
    PathBuffer first, second;
    comparable_path(a, first);
    comparable_path(b, second);
    if (first[0] == '\0' || second[0] == '\0')
        return kPathUnknown;
    return lstrcmpiA(first, second) == 0 ? kSamePath : kOtherPath;
}

bool same_path(const char* a, const char* b)
{
    return compare_paths(a, b) == kSamePath;
}

FolderVerdict install_folder_check(const char* recorded, char* folder)
{
    folder[0] = '\0';
    if (recorded[0] == '\0')
        return kFolderEmpty;
    // The setup program only installs into folders written "X:\...".
    if (!is_letter(recorded[0]) || recorded[1] != ':' || recorded[2] != '\\')
        return kFolderNotFullPath;

    PathBuffer resolved;
    comparable_path(recorded, resolved);
    if (resolved[0] == '\0')
        return kFolderTooLong;
    // "C:\", "C:\\\" or "C:\Apps\.." all resolve to the root.
    if (strlen(resolved) <= 3)
        return kFolderDriveRoot;

    PathBuffer given, windows, system;
    UINT length = GetWindowsDirectoryA(given, kPathSize);
    if (length == 0 || length >= kPathSize)
        given[0] = '\0';
    comparable_path(given, windows);
    length = GetSystemDirectoryA(given, kPathSize);
    if (length == 0 || length >= kPathSize)
        given[0] = '\0';
    comparable_path(given, system);
    if (is_within(resolved, windows) || is_within(resolved, system))
        return kFolderWindows;

    DWORD attributes = GetFileAttributesA(resolved);
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0)
        return kFolderMissing;
    strcpy(folder, resolved);
    return kFolderAccepted;
}
