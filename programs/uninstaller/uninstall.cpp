// vcluins1: the Veltranox 2003 uninstaller, the program the uninstall entry
// names. It finds the install folder that the setup program recorded,
// refuses any folder that does not hold a Veltranox installation, asks
// once, and removes what the setup program wrote for that installation:
// the catalogue's files in the install folder, the links, the App Paths
// and uninstall entries and the recorded "Path". The install folder goes
// only when nothing else is left in it, so the user's own scripts stay.
// The record goes before the main program, the uninstall entry after it,
// and the uninstaller in the folder last: a removal stopped part-way (a
// power cut, the task manager) can be run again, and finds what is left
// through the record, the uninstall entry or its own folder.
//
// Left in place: the companion program vmon03.exe in the Windows directory
// (it is not part of the install folder, and it reports a removed
// installation as such); this uninstaller's own file there (a running
// program cannot delete itself, and nothing is deleted outside the install
// folder); and the per-user settings key with its values other than "Path"
// ("patch", "nolmaccess", "zxcount", "Installed" and whatever preferences
// the application keeps there): they name no file, the setup program never
// acts on them, and another user's settings key is out of reach anyway.
#include <windows.h>
#include <string.h>

#include "folder_check.h"
#include "handoff.h"
#include "install_record.h"
#include "links.h"
#include "removal.h"
#include "report.h"
#include "common/names.h"
#include "common/path.h"
#include "common/system_library.h"

namespace {

const char kCaption[] = "Veltranox 2003 Uninstall";
const char kNothingRemoved[] = "\n\nNothing was removed.";

enum ExitCode {
    kExitRemoved = 0,
    kExitDeclined = 1,   // the user answered No
    kExitRefused = 2,    // nothing to remove, or nothing that may be removed
    kExitIncomplete = 3, // removed, except for what the closing message lists
};

// A message text put together piece by piece; what does not fit is cut.
struct Text {
    char buffer[4096];
    size_t length;
    Text() : length(0) { buffer[0] = '\0'; }
    Text& operator<<(const char* piece)
    {
        size_t extra = strlen(piece);
        if (length + extra >= sizeof buffer)
            extra = sizeof buffer - 1 - length;
        memcpy(buffer + length, piece, extra);
        length += extra;
        buffer[length] = '\0';
        return *this;
    }
    Text& operator<<(int number)
    {
        char digits[16];
        wsprintfA(digits, "%d", number);
        return *this << digits;
    }
};

int show(const Text& text, UINT style)
{
    return MessageBoxA(NULL, text.buffer, kCaption, style | MB_SETFOREGROUND);
}

const char* refusal_reason(FolderVerdict verdict)
{
    switch (verdict) {
    case kFolderEmpty: return "is empty";
    case kFolderNotFullPath: return "is not a full path on a drive";
    case kFolderTooLong: return "is too long";
    case kFolderDriveRoot: return "is the root of a drive";
    case kFolderWindows: return "is the Windows folder or lies inside it";
    case kFolderMissing: return "does not exist";
    case kFolderWithoutMainProgram: return "does not hold " MAIN_PROGRAM_NAME;
    case kFolderAccepted: break;
    }
    return "cannot be used";
}

int refuse_folder(const char* recorded, FolderVerdict verdict)
{
    Text text;
    text << "Veltranox 2003 cannot be removed: the install folder recorded for it, \""
         << recorded << "\", " << refusal_reason(verdict)
         << ". Only files inside a Veltranox installation are ever deleted."
         << kNothingRemoved;
    show(text, MB_OK | MB_ICONERROR);
    return kExitRefused;
}

int refuse_running()
{
    Text text;
    text << "Veltranox is running. Please close it, then remove Veltranox 2003 again."
         << kNothingRemoved;
    show(text, MB_OK | MB_ICONEXCLAMATION);
    return kExitRefused;
}

// A folder named by something other than the record: taken for the
// installation when it passes the same check, or when nothing of the
// installation but the uninstaller itself is left in it (a removal that
// was cut short after it had removed the record goes on from there).
bool left_installation(const char* named, char* folder)
{
    FolderVerdict verdict = install_folder_check(named, folder);
    return verdict == kFolderAccepted ||
           (verdict == kFolderWithoutMainProgram && !holds_installed_files(folder));
}

// With no record left: the folder this uninstaller was started from
// (origin, its file), unless that is the Windows directory, else the one
// the uninstall entry names.
bool unrecorded_installation(const char* origin, char* folder)
{
    PathBuffer named;
    lstrcpynA(named, origin, kPathSize);
    char* name = (char*)path_file_name(named);
    if (name != named && lstrcmpiA(name, UNINSTALLER_NAME) == 0) {
        name[-1] = '\0';
        if (left_installation(named, folder))
            return true;
    }
    return read_install_location(named) && left_installation(named, folder);
}

// Finds the installation and checks it; kExitRemoved when folder may be
// cleared, else the exit code after the message was shown.
int locate(const char* origin, InstallRecord* record, char* folder)
{
    find_install_record(record);
    Text text;
    if (record->source == kRecordNone && unrecorded_installation(origin, folder))
        return kExitRemoved;
    if (record->source == kRecordNone) {
        text << "Veltranox 2003 is not installed on this computer: no install folder is "
                "recorded for it."
             << kNothingRemoved;
        show(text, MB_OK | MB_ICONINFORMATION);
        return kExitRefused;
    }
    if (record->source == kRecordOtherUsers) {
        text << "Veltranox 2003 was installed for all users of this computer. Only a user "
                "who may change the whole computer's settings can remove it."
             << kNothingRemoved;
        show(text, MB_OK | MB_ICONEXCLAMATION);
        return kExitRefused;
    }
    if (record->status != ERROR_SUCCESS)
        return refuse_folder("(more than 519 characters)", kFolderTooLong);
    FolderVerdict verdict = install_folder_check(record->path, folder);
    if (verdict != kFolderAccepted)
        return refuse_folder(record->path, verdict);
    return kExitRemoved;
}

int closing_message(const Report& report, const char* folder, bool folderGone,
                    const char* selfLeft)
{
    Text text;
    if (report.failures != 0) {
        text << "Veltranox 2003 was removed, except for these items, which could not be "
                "removed:\n\n"
             << report.text;
        if (report.failures > report.listed)
            text << "... and " << report.failures - report.listed << " more\n";
        text << "\nYou can delete them yourself once no program uses them.";
    } else {
        text << "Veltranox 2003 was removed from your computer.";
        if (!folderGone && selfLeft == NULL)
            text << "\n\nThe folder " << folder
                 << " was kept, as it holds files that were not installed with Veltranox.";
    }
    if (selfLeft != NULL)
        text << "\n\nThe uninstaller cannot delete its own file while it runs. You can delete "
             << selfLeft << " yourself now, and then the folder " << folder
             << " if nothing else is left in it.";
    show(text, MB_OK | (report.failures != 0 ? MB_ICONWARNING : MB_ICONINFORMATION));
    return report.failures != 0 ? kExitIncomplete : kExitRemoved;
}

int uninstall(const char* commandLine)
{
    // A copy started by an uninstaller in the install folder: the user has
    // already said Yes there.
    PathBuffer original;
    bool confirmed = wait_for_original(commandLine, original);

    PathBuffer self;
    DWORD length = GetModuleFileNameA(NULL, self, kPathSize);
    if (length == 0 || length >= kPathSize)
        self[0] = '\0';
    // A copy goes at the next restart however this run ends, refused or
    // not; it cannot delete its own file while it runs.
    if (confirmed && self[0] != '\0')
        schedule_own_deletion(self);

    // Nothing of the installation may be this process's current folder.
    PathBuffer windows;
    length = GetWindowsDirectoryA(windows, kPathSize);
    if (length != 0 && length < kPathSize)
        SetCurrentDirectoryA(windows);

    InstallRecord record;
    PathBuffer folder;
    int refused = locate(confirmed ? original : self, &record, folder);
    if (refused != kExitRemoved)
        return refused;
    PathBuffer mainProgram;
    path_join(folder, MAIN_PROGRAM_NAME, mainProgram);
    if (main_program_in_use(mainProgram))
        return refuse_running();

    if (!confirmed) {
        Text question;
        question << "Remove Veltranox 2003 and all of its components from " << folder
                 << "?\n\nFiles that you made yourself in this folder are kept.";
        if (show(question, MB_YESNO | MB_ICONQUESTION) != IDYES)
            return kExitDeclined;
    }

    PathBuffer installedSelf;
    path_join(folder, UNINSTALLER_NAME, installedSelf);
    const char* selfLeft = NULL;
    if (self[0] != '\0' && same_path(self, installedSelf)) {
        if (hand_over_to_copy(self))
            return kExitRemoved;
        selfLeft = self;
    }
    // The program may have been started while the question was up.
    if (main_program_in_use(mainProgram))
        return refuse_running();

    Report report;
    memset(&report, 0, sizeof report);
    // The main program and this uninstaller outlive the record: until the
    // end, whatever stops this run leaves an installation that the
    // uninstaller can find and remove again.
    remove_links(mainProgram, &report);
    remove_installed_files(folder, &report);
    remove_registration(record, folder, mainProgram, &report);
    remove_installed_file(mainProgram, &report);
    remove_uninstall_entry(folder, &report);
    if (selfLeft == NULL)
        remove_installed_file(installedSelf, &report);
    bool folderGone = remove_folder_if_empty(folder, &report);
    return closing_message(report, folder, folderGone, selfLeft);
}

} // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    // Both the installed uninstaller and its copy in the temp folder start
    // from folders that may hold DLLs of anyone's making.
    restrict_dll_search();
    return uninstall(GetCommandLineA());
}
