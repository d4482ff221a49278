#include "ownership.h"

#include <string.h>

#include "payload/catalogue.h"
#include "common/crc32.h"
#include "common/file_place.h"
#include "common/names.h"
#include "common/path.h"
#include "common/retried_delete.h"
#include "common/system_library.h"
#include "resources/version.h"

namespace {

const char kSumsType[] = "FILESUMS";
// One pair (size, CRC-32) for each entry before the companion: the main
// program and the install folder's files.
enum { kSumsEntries = kCompanionEntry, kSumsSize = kSumsEntries * 8 };
// A size that no file has: the entry is not carried by this payload set.
const DWORD kNotCarried = 0xFFFFFFFF;

// The kind of this system's file information classes (Windows Vista and
// later), spelled here: the headers of this build target Windows XP.
enum { kFileBasicInfo = 0, kFileDispositionInfo = 4 };
struct BasicInfo {
    LARGE_INTEGER creationTime, lastAccessTime, lastWriteTime, changeTime;
    DWORD fileAttributes;
};
struct DispositionInfo {
    BOOLEAN deleteFile;
};
typedef BOOL(WINAPI* SetInformationFunction)(HANDLE, int, LPVOID, DWORD);

DWORD little_endian(const BYTE* at)
{
    return at[0] | (at[1] << 8) | (at[2] << 16) | ((DWORD)at[3] << 24);
}

// The installed size and CRC-32 of entry; false when this uninstaller has
// no table (a damaged program) or the set does not carry the entry.
bool installed_sums(int entry, DWORD* size, DWORD* crc)
{
    HRSRC found = FindResourceA(NULL, MAKEINTRESOURCEA(1), kSumsType);
    HGLOBAL loaded = found != NULL ? LoadResource(NULL, found) : NULL;
    const BYTE* table = loaded != NULL ? static_cast<const BYTE*>(LockResource(loaded)) : NULL;
    if (table == NULL || SizeofResource(NULL, found) != kSumsSize || entry < 0 ||
        entry >= kSumsEntries)
        return false;
    *size = little_endian(table + entry * 8);
    *crc = little_endian(table + entry * 8 + 4);
    return *size != kNotCarried;
}

// Size and CRC-32 of what the file holds from its start; false when it
// cannot be read. The file position is left at its end.
bool measure(HANDLE file, DWORD* size, DWORD* crc)
{
    static BYTE buffer[65536];
    if (SetFilePointer(file, 0, NULL, FILE_BEGIN) != 0)
        return false;
    *size = 0;
    *crc = 0;
    for (;;) {
        DWORD got = 0;
        if (!ReadFile(file, buffer, sizeof buffer, &got, NULL))
            return false;
        if (got == 0)
            return true;
        *crc = crc32_update(*crc, buffer, got);
        if (*size > 0xFFFFFFFE - got)
            return false;
        *size += got;
    }
}

// The string value of the version block's first translation.
bool version_string(const void* block, const char* name, const char* expected)
{
    SystemLibrary version("version.dll");
    auto queryValue = SYSTEM_ENTRY(version, VerQueryValueA);
    WORD* translation = NULL;
    UINT length = 0;
    if (queryValue == NULL ||
        !queryValue(block, "\\VarFileInfo\\Translation", (void**)&translation, &length) ||
        translation == NULL || length < 4)
        return false;
    char path[64];
    wsprintfA(path, "\\StringFileInfo\\%04x%04x\\%s", translation[0], translation[1], name);
    const char* value = NULL;
    return queryValue(block, path, (void**)&value, &length) && value != NULL &&
           lstrcmpA(value, expected) == 0;
}

// Whether path is a main program of ours that is newer than the one this
// uninstaller came with: its version information names our product and
// our maker, with a higher version. (The setup program never replaces such
// a copy, so it stays in the folder after an update by a later release.)
bool newer_main_program(const char* path)
{
    SystemLibrary version("version.dll");
    auto getSize = SYSTEM_ENTRY(version, GetFileVersionInfoSizeA);
    auto getInfo = SYSTEM_ENTRY(version, GetFileVersionInfoA);
    auto queryValue = SYSTEM_ENTRY(version, VerQueryValueA);
    DWORD handle = 0;
    DWORD size = getSize != NULL ? getSize(path, &handle) : 0;
    if (size == 0 || getInfo == NULL || queryValue == NULL)
        return false;
    HANDLE heap = GetProcessHeap();
    void* block = HeapAlloc(heap, 0, size);
    if (block == NULL)
        return false;
    VS_FIXEDFILEINFO* fixed = NULL;
    UINT fixedSize = 0;
    const ULONGLONG ours = ((ULONGLONG)((RELEASE_VERSION_MAJOR << 16) | RELEASE_VERSION_MINOR) << 32) |
                           ((RELEASE_VERSION_BUILD << 16) | RELEASE_VERSION_PATCH);
    bool newer = getInfo(path, handle, size, block) &&
                 queryValue(block, "\\", (void**)&fixed, &fixedSize) && fixed != NULL &&
                 fixedSize >= sizeof(VS_FIXEDFILEINFO) &&
                 (((ULONGLONG)fixed->dwFileVersionMS << 32) | fixed->dwFileVersionLS) > ours &&
                 version_string(block, "CompanyName", RELEASE_COMPANY) &&
                 version_string(block, "ProductName", RELEASE_PRODUCT);
    HeapFree(heap, 0, block);
    return newer;
}

SetInformationFunction set_information()
{
    return library_entry<SetInformationFunction>(GetModuleHandleA("kernel32.dll"),
                                                 "SetFileInformationByHandle");
}

} // namespace

CheckedFile::~CheckedFile()
{
    close();
}

void CheckedFile::close()
{
    if (handle_ != INVALID_HANDLE_VALUE)
        CloseHandle(handle_);
    handle_ = INVALID_HANDLE_VALUE;
}

// Another program (a scanner, an indexer) may hold the file for a moment:
// waited for as a retried delete waits.
bool CheckedFile::open(const char* path)
{
    close();
    for (int attempt = 0; attempt < kDeleteAttempts; ++attempt) {
        handle_ = CreateFileA(path, GENERIC_READ | DELETE | FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ,
                              NULL, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, NULL);
        if (handle_ != INVALID_HANDLE_VALUE || GetLastError() != ERROR_SHARING_VIOLATION)
            break;
        Sleep(kDeleteRetryDelay);
    }
    return handle_ != INVALID_HANDLE_VALUE;
}

Ownership CheckedFile::open_in(const char* folder, const char* name)
{
    path_join(folder, name, path_);
    if (path_[0] == '\0')
        return kUnreadable;
    if (!open(path_)) {
        DWORD error = GetLastError();
        return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? kAbsent
                                                                             : kUnreadable;
    }
    FilePlace place = file_place(handle_, folder, name);
    if (place != kPlaceInFolder) {
        close();
        return place == kPlaceElsewhere ? kLeadsOut : kUnreadable;
    }
    return kOurs;
}

Ownership CheckedFile::check_same_as(const char* folder, const char* name, const char* reference)
{
    Ownership placed = open_in(folder, name);
    if (placed != kOurs)
        return placed;
    if (SetFilePointer(handle_, 0, NULL, FILE_BEGIN) == 0 && same_bytes(reference, handle_))
        return kOurs;
    close();
    return kChanged;
}

Ownership CheckedFile::check(const char* folder, const char* name, int entry, bool allowNewer)
{
    Ownership placed = open_in(folder, name);
    if (placed != kOurs)
        return placed;
    const char* path = path_;
    DWORD size, crc, installedSize, installedCrc;
    if (!measure(handle_, &size, &crc)) {
        close();
        return kUnreadable;
    }
    if (installed_sums(entry, &installedSize, &installedCrc) && size == installedSize &&
        crc == installedCrc)
        return kOurs;
    if (!allowNewer)
        return kChanged;
    // The version service reads the file by its name: what it judged is
    // what is held only if the bytes are the same before and after.
    close();
    if (!newer_main_program(path))
        return kChanged;
    DWORD heldSize, heldCrc;
    if (open_in(folder, name) != kOurs || !measure(handle_, &heldSize, &heldCrc)) {
        close();
        return kUnreadable;
    }
    return heldSize == size && heldCrc == crc ? kOurs : kChanged;
}

bool CheckedFile::remove()
{
    if (handle_ == INVALID_HANDLE_VALUE)
        return false;
    SetInformationFunction setInformation = set_information();
    if (setInformation == NULL) {
        // Windows XP: no deletion through a handle, and no links to files
        // either; the checked name goes right after it is let go.
        close();
        return retried_delete(path_);
    }
    BY_HANDLE_FILE_INFORMATION info;
    bool readOnly = GetFileInformationByHandle(handle_, &info) &&
                    (info.dwFileAttributes & FILE_ATTRIBUTE_READONLY) != 0;
    BasicInfo basic;
    memset(&basic, 0, sizeof basic);
    if (readOnly) {
        // Zero would leave the attributes as they are.
        basic.fileAttributes = info.dwFileAttributes & ~FILE_ATTRIBUTE_READONLY;
        if (basic.fileAttributes == 0)
            basic.fileAttributes = FILE_ATTRIBUTE_NORMAL;
        setInformation(handle_, kFileBasicInfo, &basic, sizeof basic);
    }
    DispositionInfo disposition = {TRUE};
    bool deleted =
        setInformation(handle_, kFileDispositionInfo, &disposition, sizeof disposition) != 0;
    if (!deleted && readOnly) {
        DWORD error = GetLastError();
        basic.fileAttributes = info.dwFileAttributes;
        setInformation(handle_, kFileBasicInfo, &basic, sizeof basic);
        SetLastError(error);
    }
    close();
    return deleted;
}

bool holds_installed_files(const char* folder)
{
    for (int i = 0; i < kCompanionEntry; ++i) {
        CheckedFile file;
        if (file.check(folder, kPayloadCatalogue[i].fileName, i,
                       i == kMainProgramEntry) == kOurs)
            return true;
    }
    CheckedFile image;
    return image.check(folder, IMAGE_FILE_NAME, kMainProgramSums, false) == kOurs;
}

bool same_bytes(const char* path, HANDLE file)
{
    // Sharing deletion too: file may be a checked handle on this very path.
    HANDLE other = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, NULL,
                               OPEN_EXISTING, 0, NULL);
    if (other == INVALID_HANDLE_VALUE)
        return false;
    static char mine[4096], theirs[4096];
    bool same = false;
    for (;;) {
        DWORD mineRead, theirsRead;
        if (!ReadFile(other, mine, sizeof mine, &mineRead, NULL) ||
            !ReadFile(file, theirs, sizeof theirs, &theirsRead, NULL) || mineRead != theirsRead ||
            memcmp(mine, theirs, mineRead) != 0)
            break;
        if (mineRead == 0) {
            same = true;
            break;
        }
    }
    CloseHandle(other);
    return same;
}
