#include "payload/replace.h"

#include "payload/catalogue.h"
#include "payload/extract.h"
#include "common/file_place.h"
#include "common/names.h"
#include "setup/notice.h"
#include "common/path.h"
#include "setup/state.h"
#include "common/system_library.h"

namespace {

const char kImageName[] = IMAGE_FILE_NAME;

HANDLE open_exclusive(const char* path, DWORD flags)
{
    return CreateFileA(path, GENERIC_READ | GENERIC_WRITE, 0, NULL, OPEN_EXISTING, flags, NULL);
}

bool newer_than_carried(DWORD major, DWORD leastSignificant)
{
    // The second version number takes no part: 1.9.0.0 is not newer.
    return major > kCarriedMajor ||
           (major == kCarriedMajor && leastSignificant > kCarriedLeastSignificant);
}

// The freshly expanded image may still be held by a scanner or indexer
// for a moment; wait until nobody has it open. Returns 0 with the last
// error of the final attempt when it never becomes free.
int wait_for_image(const char* imagePath)
{
    DWORD error = 0;
    for (int attempt = 0; attempt < kImageOpenAttempts; ++attempt) {
        Sleep(kImageOpenDelay);
        HANDLE image = open_exclusive(imagePath, FILE_FLAG_SEQUENTIAL_SCAN);
        if (image != INVALID_HANDLE_VALUE) {
            CloseHandle(image);
            return 1;
        }
        error = GetLastError();
        Sleep(kImageRetryDelay);
    }
    SetLastError(error);
    return 0;
}

// Moves the image over the main program in one step, so that a working
// main program stands at its path at every moment, even if the setup
// program is ended half-way. Tried like a retried delete, for a scanner
// that holds the old copy for a moment. Where MoveFileExA is missing
// (Windows 9x), the old copy is deleted first and the image moved then.
BOOL replace_main_program(const char* imagePath, const char* mainProgram)
{
    auto moveEx = MODULE_ENTRY(GetModuleHandleA("kernel32.dll"), MoveFileExA);
    DWORD error = ERROR_CALL_NOT_IMPLEMENTED;
    for (int attempt = 0; moveEx != NULL && attempt < kDeleteAttempts; ++attempt) {
        SetFileAttributesA(mainProgram, FILE_ATTRIBUTE_NORMAL);
        if (moveEx(imagePath, mainProgram, MOVEFILE_REPLACE_EXISTING))
            return TRUE;
        error = GetLastError();
        if (error == ERROR_CALL_NOT_IMPLEMENTED)
            break;
        Sleep(kDeleteRetryDelay);
    }
    if (error != ERROR_CALL_NOT_IMPLEMENTED) {
        SetLastError(error);
        return FALSE;
    }
    // If the old copy survives its deletion, the move fails.
    retried_delete(mainProgram);
    return MoveFileA(imagePath, mainProgram);
}

} // namespace

int main_program_replacement()
{
    const char* mainProgram = g_setup.mainProgramPath;
    SetFileAttributesA(mainProgram, FILE_ATTRIBUTE_NORMAL);

    // An exclusive open fails with a sharing violation while the program
    // runs or anyone holds it; give it one chance to let go.
    HANDLE existing = open_exclusive(mainProgram, FILE_ATTRIBUTE_NORMAL);
    if (existing == INVALID_HANDLE_VALUE && GetLastError() == ERROR_SHARING_VIOLATION) {
        Sleep(kInUseWait);
        existing = open_exclusive(mainProgram, FILE_ATTRIBUTE_NORMAL);
    }
    if (existing != INVALID_HANDLE_VALUE) {
        // A main program that is a link elsewhere is neither replaced nor
        // deleted: what it leads to is not this installation's.
        bool elsewhere =
            file_place(existing, g_setup.installFolder, MAIN_PROGRAM_NAME) == kPlaceElsewhere;
        CloseHandle(existing);
        if (elsewhere) {
            tell_link(mainProgram);
            return kReplacementFailed;
        }
        DWORD major = 0;
        DWORD leastSignificant = 0;
        if (file_version_query(mainProgram, &major, &leastSignificant) &&
            newer_than_carried(major, leastSignificant))
            return kNewerInstalled;
    } else if (GetLastError() == ERROR_SHARING_VIOLATION) {
        return kMainProgramInUse;
    }
    // Any other failure (most often: no main program yet) goes on.

    if (!compressed_install(kPayloadCatalogue[kMainProgramEntry].id, g_setup.installFolder, kImageName)) {
        system_error_notice(GetLastError(), "34");
        return kReplacementFailed;
    }

    PathBuffer imagePath;
    path_join(g_setup.installFolder, kImageName, imagePath);
    if (!wait_for_image(imagePath)) {
        system_error_notice(GetLastError(), "28");
        retried_delete(imagePath);
        return kReplacementFailed;
    }

    if (!replace_main_program(imagePath, mainProgram)) {
        system_error_notice(GetLastError(), "37");
        retried_delete(imagePath);
        return kReplacementFailed;
    }
    return kReplaced;
}

int file_version_query(const char* path, DWORD* major, DWORD* leastSignificant)
{
    *major = 0;
    *leastSignificant = 0;
    // A version service or entry that cannot be had fails like its call:
    // the program then counts as "not newer".
    SystemLibrary version("version.dll");
    auto getSize = SYSTEM_ENTRY(version, GetFileVersionInfoSizeA);
    auto getInfo = SYSTEM_ENTRY(version, GetFileVersionInfoA);
    auto queryValue = SYSTEM_ENTRY(version, VerQueryValueA);
    DWORD handle = 0;
    DWORD size = getSize != NULL ? getSize(path, &handle) : 0;
    if (size == 0)
        return 0;
    HANDLE heap = GetProcessHeap();
    void* buffer = HeapAlloc(heap, 0, size);
    if (buffer == NULL)
        return 0;
    VS_FIXEDFILEINFO* fixed = NULL;
    UINT fixedSize = 0;
    if (getInfo != NULL && getInfo(path, handle, size, buffer) && queryValue != NULL &&
        queryValue(buffer, "\\", (void**)&fixed, &fixedSize) && fixed != NULL &&
        fixedSize >= sizeof(VS_FIXEDFILEINFO)) {
        *major = fixed->dwFileVersionMS >> 16;
        *leastSignificant = fixed->dwFileVersionLS;
    }
    HeapFree(heap, 0, buffer);
    return 1;
}
