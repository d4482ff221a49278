#include "payload/extract.h"

#include <lzexpand.h>
#include <string.h>

#include "payload/resource.h"
#include "common/file_place.h"
#include "common/names.h"
#include "common/szdd_magic.h"
#include "setup/notice.h"
#include "common/path.h"
#include "setup/state.h"
#include "common/write_whole.h"

namespace {

const char kDataFileName[] = DATA_FILE_NAME;
// The notice of a payload file that could not be written.
const char kWriteFailedStep[] = "38";

// Set when the current file's failure has been shown already (the
// resource lookup's notices, which also stay silent for error number 0 on
// purpose, and DC5/DC6); install_entry tells any other failure itself.
bool g_failureTold;

// A file that could not be written is told with the system's reason, once
// for each reason: a full disk must not raise a box for every file.
void tell_write_failure(DWORD error)
{
    enum { kMostReasons = 8 };
    static DWORD told[kMostReasons];
    static int toldCount;
    if (error == ERROR_SUCCESS)
        error = ERROR_WRITE_FAULT;
    for (int i = 0; i < toldCount; ++i) {
        if (told[i] == error)
            return;
    }
    if (toldCount < kMostReasons)
        told[toldCount++] = error;
    system_error_notice(error, kWriteFailedStep);
}

// SZDD container header: magic, mode, last character, expanded length.
const BYTE kSzddMagic[8] = {SZDD_MAGIC};
enum { kSzddHeaderSize = 14, kSzddModeOffset = 8, kSzddLengthOffset = 10 };
const BYTE kSzddModeA = 'A';

// The only form the payload is packed in: the magic, mode 'A' and the
// whole header. LZ32 would copy anything else as it stands.
bool is_szdd_container(const void* bytes, DWORD size)
{
    const BYTE* header = static_cast<const BYTE*>(bytes);
    return size >= kSzddHeaderSize && memcmp(header, kSzddMagic, sizeof kSzddMagic) == 0 &&
           header[kSzddModeOffset] == kSzddModeA;
}

// A payload resource, looked up and locked; freed when it goes out of scope.
class LockedResource {
public:
    explicit LockedResource(UINT id) : size_(0), handle_(NULL), bytes_(NULL)
    {
        handle_ = find_payload_resource(id, &size_);
        if (handle_ != NULL)
            bytes_ = LockResource(handle_);
        else
            g_failureTold = true;
    }
    ~LockedResource()
    {
        if (handle_ != NULL)
            FreeResource(handle_);
    }
    const void* bytes() const { return bytes_; }
    DWORD size() const { return size_; }

private:
    LockedResource(const LockedResource&);
    LockedResource& operator=(const LockedResource&);

    DWORD size_;
    HGLOBAL handle_;
    const void* bytes_;
};

// Opens name in folder (path, joined) for writing, empty, as CREATE_ALWAYS
// would, but never through a link: an existing file is judged on its own
// handle before a byte of it changes, and a new one is made only where no
// name stands (CREATE_NEW follows no link). INVALID_HANDLE_VALUE on a
// failure, with the last error 0 when the notice was shown here.
HANDLE create_installed(const char* path, const char* folder, const char* name, DWORD access,
                        DWORD flags)
{
    HANDLE file = CreateFileA(path, access, 0, NULL, OPEN_EXISTING, flags, NULL);
    if (file == INVALID_HANDLE_VALUE) {
        if (GetLastError() != ERROR_FILE_NOT_FOUND)
            return file;
        file = CreateFileA(path, access, 0, NULL, CREATE_NEW, flags, NULL);
        // A name that cannot be opened and yet stands is a link to nothing.
        if (file != INVALID_HANDLE_VALUE || GetLastError() != ERROR_FILE_EXISTS)
            return file;
    } else {
        FilePlace place = file_place(file, folder, name);
        if (place == kPlaceInFolder && SetEndOfFile(file))
            return file;
        // A handle closed without fault leaves the last error as it is.
        CloseHandle(file);
        if (place != kPlaceElsewhere)
            return INVALID_HANDLE_VALUE;
    }
    tell_link(path);
    SetLastError(ERROR_SUCCESS);
    return INVALID_HANDLE_VALUE;
}

DWORD little_endian(const BYTE* at)
{
    return at[0] | (at[1] << 8) | (at[2] << 16) | ((DWORD)at[3] << 24);
}

// The length a container expands to, as its header records it; -1 when
// LZCopy, which counts in a LONG, could not report that many bytes.
LONG recorded_length(const BYTE* header)
{
    DWORD recorded = little_endian(header + kSzddLengthOffset);
    return recorded <= 0x7FFFFFFF ? (LONG)recorded : -1;
}

// The length the source expands to: the length recorded in its SZDD header,
// or its plain size when it is no container (LZ32 then copies it as is).
// -1 when neither can be read. The file pointer is left at the start.
LONG expected_length(HANDLE source)
{
    BYTE header[kSzddHeaderSize];
    DWORD got = 0;
    LONG length = -1;
    if (ReadFile(source, header, sizeof header, &got, NULL) && got == sizeof header &&
        memcmp(header, kSzddMagic, sizeof kSzddMagic) == 0) {
        length = recorded_length(header);
    } else {
        DWORD high = 0;
        DWORD size = GetFileSize(source, &high);
        if (size != INVALID_FILE_SIZE && high == 0 && size <= 0x7FFFFFFF)
            length = (LONG)size;
    }
    SetFilePointer(source, 0, NULL, FILE_BEGIN);
    return length;
}

// Creates "data.tmp" for writing and reading back. Another program may
// hold it for a moment (a scanner, or one that races for it), which is
// waited for as a retried delete waits.
HANDLE create_data_file(const char* path)
{
    HANDLE file = INVALID_HANDLE_VALUE;
    for (int attempt = 0; attempt < kDeleteAttempts; ++attempt) {
        SetFileAttributesA(path, FILE_ATTRIBUTE_NORMAL);
        file = CreateFileA(path, GENERIC_READ | GENERIC_WRITE, 0, NULL, CREATE_ALWAYS,
                           FILE_FLAG_SEQUENTIAL_SCAN, NULL);
        if (file != INVALID_HANDLE_VALUE || GetLastError() != ERROR_SHARING_VIOLATION)
            break;
        Sleep(kDeleteRetryDelay);
    }
    return file;
}

// A file that could not be written whole goes again, so that nothing
// partial or empty stays under its name; the reason of the failure stays
// the last error.
int remove_unfinished(const char* path)
{
    DWORD error = GetLastError();
    retried_delete(path);
    SetLastError(error);
    return 0;
}

// CREATE_ALWAYS over an existing file should give it the attributes asked
// for, but some file systems (Wine's among them) keep the old ones; the
// read-only mark of a rewritten entry must not get lost that way.
void keep_read_only(const char* path)
{
    DWORD attributes = GetFileAttributesA(path);
    if (attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_READONLY))
        SetFileAttributesA(path, attributes | FILE_ATTRIBUTE_READONLY);
}

// Whether the volume of folder has fewer bytes free than still had to be
// written to path, the file in it that holds what was written so far.
bool volume_is_full(const char* folder, const char* path, LONG expected)
{
    WIN32_FILE_ATTRIBUTE_DATA file;
    if (expected < 0 || !GetFileAttributesExA(path, GetFileExInfoStandard, &file))
        return false;
    ULONGLONG written = ((ULONGLONG)file.nFileSizeHigh << 32) | file.nFileSizeLow;
    ULONGLONG missing = (ULONGLONG)expected > written ? (ULONGLONG)expected - written : 0;
    ULARGE_INTEGER available;
    return missing != 0 && GetDiskFreeSpaceExA(folder, &available, NULL, NULL) &&
           available.QuadPart < missing;
}

// The error that a failed or short LZCopy stands for. LZ32 itself only
// says whether reading, writing or memory failed; the system's last error,
// taken right after LZCopy, says why when it was set. Where a write failed
// without one (Wine's LZ32 stops at a short write on a full disk), the
// destination volume's free space tells a full disk apart. Only a
// container that ends early or is of an unknown form is invalid data.
DWORD copy_failure_reason(LONG copied, DWORD systemError, const char* destinationFolder,
                          const char* destinationPath, LONG expected)
{
    switch (copied) {
    case LZERROR_WRITE:
        if (systemError != ERROR_SUCCESS)
            return systemError;
        return volume_is_full(destinationFolder, destinationPath, expected) ? ERROR_DISK_FULL
                                                                            : ERROR_WRITE_FAULT;
    case LZERROR_READ:
        return systemError != ERROR_SUCCESS ? systemError : ERROR_READ_FAULT;
    case LZERROR_GLOBALLOC:
    case LZERROR_GLOBLOCK:
        return ERROR_NOT_ENOUGH_MEMORY;
    case LZERROR_BADINHANDLE:
    case LZERROR_BADOUTHANDLE:
        return ERROR_INVALID_HANDLE;
    default:
        // LZERROR_UNKNOWNALG, LZERROR_BADVALUE, or a copy that stopped short.
        return ERROR_INVALID_DATA;
    }
}

} // namespace

void tell_link(const char* path)
{
    char text[kPathSize + 64];
    wsprintfA(text, "%s is a link to a file elsewhere and was left as it is.", path);
    error_notice(text, "39");
    g_failureTold = true;
}

int raw_install(UINT id, const char* folder, const char* name, int readOnly)
{
    PathBuffer path;
    path_join(folder, name, path);
    LockedResource resource(id);
    if (resource.bytes() == NULL)
        return 0;
    DWORD flags = FILE_FLAG_SEQUENTIAL_SCAN;
    if (readOnly)
        flags |= FILE_ATTRIBUTE_READONLY;
    SetFileAttributesA(path, FILE_ATTRIBUTE_NORMAL);
    HANDLE file = create_installed(path, folder, name, GENERIC_WRITE, flags);
    if (file == INVALID_HANDLE_VALUE)
        return 0;
    int written = write_whole(file, resource.bytes(), resource.size());
    CloseHandle(file);
    if (!written)
        return remove_unfinished(path);
    if (readOnly)
        keep_read_only(path);
    return 1;
}

int resource_write(UINT id, const char* folder, const char* name)
{
    PathBuffer path;
    path_join(folder, name, path);
    LockedResource resource(id);
    if (resource.bytes() == NULL)
        return 0;
    return file_write(resource.bytes(), resource.size(), path);
}

int file_write(const void* bytes, DWORD count, const char* path)
{
    SetFileAttributesA(path, FILE_ATTRIBUTE_NORMAL);
    HANDLE file =
        CreateFileA(path, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_FLAG_SEQUENTIAL_SCAN, NULL);
    if (file == INVALID_HANDLE_VALUE)
        return 0;
    int written = write_whole(file, bytes, count);
    CloseHandle(file);
    return written ? 1 : remove_unfinished(path);
}

int compressed_install(UINT id, const char* folder, const char* name)
{
    PathBuffer dataPath;
    path_join(g_setup.tempFolder, kDataFileName, dataPath);
    HANDLE data;
    LONG expected;
    {
        LockedResource resource(id);
        if (resource.bytes() == NULL)
            return 0;
        // Bytes that are no container are refused before anything is
        // written: expanded, they would come out as they stand and look
        // like a whole file.
        if (!is_szdd_container(resource.bytes(), resource.size())) {
            SetLastError(ERROR_INVALID_DATA);
            return 0;
        }
        expected = recorded_length(static_cast<const BYTE*>(resource.bytes()));
        // The temp folder is open to every program of the user: "data.tmp"
        // stays open, unshared, from its creation until it is expanded, so
        // that what LZ32 reads is what was checked and written here.
        data = create_data_file(dataPath);
        if (data == INVALID_HANDLE_VALUE)
            return 0;
        if (!write_whole(data, resource.bytes(), resource.size()) ||
            SetFilePointer(data, 0, NULL, FILE_BEGIN) != 0) {
            DWORD error = GetLastError();
            CloseHandle(data);
            SetLastError(error);
            return remove_unfinished(dataPath);
        }
    }
    int expanded = expand_held(data, expected, folder, name);
    // Keep the reason of a failed expansion for the caller's notice; the
    // clean-up below must not replace it.
    DWORD error = GetLastError();
    delete_in_folder(g_setup.tempFolder, kDataFileName);
    if (!expanded)
        SetLastError(error);
    return expanded;
}

int file_expansion(const char* sourceFolder, const char* sourceName,
                   const char* destinationFolder, const char* destinationName)
{
    PathBuffer sourcePath;
    path_join(sourceFolder, sourceName, sourcePath);
    HANDLE source = CreateFileA(sourcePath, GENERIC_READ | GENERIC_WRITE, 0, NULL, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, NULL);
    if (source == INVALID_HANDLE_VALUE)
        return 0;
    return expand_held(source, expected_length(source), destinationFolder, destinationName);
}

int expand_held(HANDLE source, LONG expected, const char* destinationFolder,
                const char* destinationName)
{
    PathBuffer destinationPath;
    path_join(destinationFolder, destinationName, destinationPath);
    HANDLE destination = create_installed(destinationPath, destinationFolder, destinationName,
                                          GENERIC_READ | GENERIC_WRITE, FILE_ATTRIBUTE_NORMAL);
    if (destination == INVALID_HANDLE_VALUE) {
        DWORD error = GetLastError();
        CloseHandle(source);
        SetLastError(error);
        return 0;
    }

    // LZInit takes the file handles as HFILEs. The destination is new and
    // empty, so its expansion handle simply writes through.
    INT destinationLz = LZInit((INT)(INT_PTR)destination);
    if (destinationLz < 0) {
        error_notice("Unable to decompress files", "DC6");
        g_failureTold = true;
        CloseHandle(source);
        CloseHandle(destination);
        return remove_unfinished(destinationPath);
    }
    INT sourceLz = LZInit((INT)(INT_PTR)source);
    if (sourceLz < 0) {
        error_notice("Unable to to decompress files", "DC5");
        g_failureTold = true;
        // LZClose releases the destination file along with its expansion
        // handle; closing it again could close a handle reused meanwhile.
        LZClose(destinationLz);
        CloseHandle(source);
        return remove_unfinished(destinationPath);
    }
    SetLastError(ERROR_SUCCESS);
    LONG copied = LZCopy(sourceLz, destinationLz);
    // The system's reason for a failed copy, before anything else runs.
    DWORD copyError = GetLastError();
    // Each LZClose also closes the file beneath the expansion handle, so
    // both files are closed after these two calls.
    LZClose(sourceLz);
    LZClose(destinationLz);

    if (copied >= 0 && expected >= 0 && copied == expected)
        return 1;
    // The destination does not hold the whole file and must not count as
    // one; the caller's notice names the true reason.
    SetLastError(
        copy_failure_reason(copied, copyError, destinationFolder, destinationPath, expected));
    return remove_unfinished(destinationPath);
}

void delete_in_folder(const char* folder, const char* name)
{
    // Always one backslash, even after a folder that ends in one: the file
    // functions read the doubled separator as one.
    PathBuffer path;
    size_t folderLength = strlen(folder);
    size_t nameLength = strlen(name);
    if (folderLength + 1 + nameLength < kPathSize) {
        memcpy(path, folder, folderLength);
        path[folderLength] = '\\';
        memcpy(path + folderLength + 1, name, nameLength + 1);
    } else {
        // Too long with the extra backslash: name the same file the way
        // it was written, through path join.
        path_join(folder, name, path);
    }
    retried_delete(path);
}

int install_entry(const PayloadEntry& entry, const char* folder)
{
    g_failureTold = false;
    int installed = entry.form == PayloadForm::Raw
                        ? raw_install(entry.id, folder, entry.fileName, entry.readOnly ? 1 : 0)
                        : compressed_install(entry.id, folder, entry.fileName);
    if (!installed && !g_failureTold)
        tell_write_failure(GetLastError());
    return installed;
}

void install_payload_files()
{
    for (int i = kMainProgramEntry + 1; i < kCompanionEntry; ++i)
        install_entry(kPayloadCatalogue[i], g_setup.installFolder);
    install_entry(kPayloadCatalogue[kCompanionEntry], g_setup.windowsDirectory);
}
