#include "location/validation.h"

#include <string.h>

#include "setup/notice.h"
#include "common/path.h"
#include "setup/state.h"

namespace {

struct Rejection {
    const char* text;
    const char* code;
};

// Indexed by LocationVerdict.
const Rejection kRejections[] = {
    {NULL, NULL},
    {"Invalid drive specification", "11"},
    {"Veltranox can't be installed to a removable disk.", "12"},
    {"Veltranox can't be installed to a remote drive. Select your local hard drive instead.", "12"},
    {"Invalid drive", "12"},
    {"The install location is not a folder.", "13"},
    {"The folder is read only.", "14"},
    {"Invalid folder", "15"},
    {"Could not create the specified folder.", "16"},
    {"Folder name too long", "27"},
};

bool is_letter(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

// Removes every trailing backslash in place and returns the length left.
// A text with no terminator inside the path buffer is left alone and given
// the buffer's size, which the length check turns down.
size_t strip_trailing_backslashes(char* path)
{
    const char* end = (const char*)memchr(path, '\0', kPathSize);
    if (end == NULL)
        return kPathSize;
    return remove_trailing_backslashes(path, 0);
}

LocationVerdict enter_or_create(const char* path)
{
    if (SetCurrentDirectoryA(path))
        return folder_attribute_verdict(GetFileAttributesA(path));
    // CreateDirectoryA makes one level only: a missing parent fails here.
    if (CreateDirectoryA(path, NULL) && SetCurrentDirectoryA(path))
        return kLocationAccepted;
    return kLocationCannotCreate;
}

LocationVerdict check_location(char* path)
{
    if (!is_letter(path[0]) || path[1] != ':' || path[2] != '\\')
        return kLocationBadDriveSpec;

    // The form check above makes the drive root the first three characters.
    char root[4] = {path[0], ':', '\\', '\0'};
    LocationVerdict verdict = drive_type_verdict(GetDriveTypeA(root));
    if (verdict != kLocationAccepted)
        return verdict;

    size_t length = strip_trailing_backslashes(path);
    if (length > kLongestInstallFolder)
        return kLocationTooLong;

    return enter_or_create(path);
}

} // namespace

LocationVerdict drive_type_verdict(UINT driveType)
{
    switch (driveType) {
    case DRIVE_REMOVABLE:
        return kLocationRemovableDrive;
    case DRIVE_REMOTE:
        return kLocationRemoteDrive;
    case DRIVE_CDROM:
    case DRIVE_RAMDISK:
        return kLocationInvalidDrive;
    default:
        // Fixed, unknown and "no root": a missing drive fails later, when
        // the folder can be neither entered nor created.
        return kLocationAccepted;
    }
}

LocationVerdict folder_attribute_verdict(DWORD attributes)
{
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0)
        return kLocationNotAFolder;
    if (attributes & FILE_ATTRIBUTE_READONLY)
        return kLocationReadOnly;
    if (attributes & (FILE_ATTRIBUTE_TEMPORARY | FILE_ATTRIBUTE_OFFLINE))
        return kLocationInvalidFolder;
    return kLocationAccepted;
}

const char* location_verdict_text(LocationVerdict verdict)
{
    return kRejections[verdict].text;
}

const char* location_verdict_code(LocationVerdict verdict)
{
    return kRejections[verdict].code;
}

void location_rejection_notice(LocationVerdict verdict)
{
    if (verdict != kLocationAccepted)
        error_notice(kRejections[verdict].text, kRejections[verdict].code);
}

int location_validation(char* path, int notify)
{
    LocationVerdict verdict = check_location(path);
    if (verdict == kLocationAccepted)
        return 1;
    if (notify)
        location_rejection_notice(verdict);
    return 0;
}
