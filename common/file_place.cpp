#include "common/file_place.h"

#include "common/path.h"
#include "common/system_library.h"

namespace {

typedef DWORD(WINAPI* FinalPathFunction)(HANDLE, LPSTR, DWORD, DWORD);

// The handle's final path ("\\?\C:\..."); false when it cannot be had.
bool final_path(FinalPathFunction finalPath, HANDLE handle, char* out)
{
    DWORD length = finalPath(handle, out, kPathSize, 0);
    if (length >= kPathSize)
        SetLastError(ERROR_FILENAME_EXCED_RANGE);
    return length != 0 && length < kPathSize;
}

} // namespace

FilePlace file_place(HANDLE file, const char* folder, const char* name)
{
    BY_HANDLE_FILE_INFORMATION info;
    if (!GetFileInformationByHandle(file, &info))
        return kPlaceUnknown;
    if (info.nNumberOfLinks > 1)
        return kPlaceElsewhere;
    FinalPathFunction finalPath = library_entry<FinalPathFunction>(
        GetModuleHandleA("kernel32.dll"), "GetFinalPathNameByHandleA");
    if (finalPath == NULL)
        return info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT ? kPlaceElsewhere
                                                                     : kPlaceInFolder;
    HANDLE folderHandle =
        CreateFileA(folder, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, NULL,
                    OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, NULL);
    if (folderHandle == INVALID_HANDLE_VALUE)
        return kPlaceUnknown;
    PathBuffer expected, actual;
    bool known = final_path(finalPath, folderHandle, expected);
    CloseHandle(folderHandle);
    if (!known || !final_path(finalPath, file, actual))
        return kPlaceUnknown;
    // A name that does not fit beside the folder's final path is not the
    // file's, whose final path fitted.
    return path_append(expected, "\\") && path_append(expected, name) &&
                   lstrcmpiA(expected, actual) == 0
               ? kPlaceInFolder
               : kPlaceElsewhere;
}
