// vcluins1: the Veltranox 2003 uninstaller, the program the uninstall entry
// names. It finds the install folder that the setup program recorded,
// refuses any folder that holds no file as the setup program installed it,
// asks once, and removes what the setup program wrote for that
// installation and only that: the catalogue's files in the install folder
// while they hold the installed bytes (ownership.h), the links to its main
// program, the App Paths and uninstall entries that name it, and the
// recorded "Path". A file that changed, another program's file or link of
// an installed name, and a link out of the folder stay and are listed. The
// install folder goes only when nothing else is left in it, so the user's
// own scripts stay. The record goes before the main program, the uninstall
// entry after it, and the uninstaller in the folder last: a removal stopped
// part-way (a power cut, the task manager) can be run again, and finds what
// is left through the record, the uninstall entry or its own folder.
//
// Left in place: the companion program vmon03.exe in the Windows directory
// (it is not part of the install folder, and it reports a removed
// installation as such); this uninstaller's own file there (a running
// program cannot delete itself, and nothing is deleted outside the install
// folder); and the per-user settings key with its values other than "Path"
// ("patch", "nolmaccess", "zxcount", "Installed", the folder of the last
// removal and whatever preferences the application keeps there): they name
// no file the setup program acts on, and another user's settings key is out
// of reach anyway.
#include <windows.h>
#include <string.h>

#include "folder_check.h"
#include "handoff.h"
#include "install_record.h"
#include "links.h"
#include "ownership.h"
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
    // Drops a line break that ends the text.
    void end_line()
    {
        if (length != 0 && buffer[length - 1] == '\n')
            buffer[--length] = '\0';
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

// A folder that holds no file the setup program installed there, as it
// installed it: nothing in it is deleted.
int refuse_not_found(const char* folder)
{
    Text text;
    text << "No installation of Veltranox 2003 was found in " << folder
         << ": it holds no file as Veltranox installed it. Only such files are ever deleted."
         << kNothingRemoved;
    show(text, MB_OK | MB_ICONINFORMATION);
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

// Adds a list of the report under its heading.
void add_list(Text& text, const char* heading, const ReportList& list)
{
    if (list.count == 0)
        return;
    text << heading << list.text;
    if (list.count > list.listed)
        text << "... and " << list.count - list.listed << " more";
    text.end_line();
}

// What was kept on purpose, after the first part of a closing message.
void add_kept(Text& text, const Report& report)
{
    add_list(text, "\n\nThese installed files were changed since the installation, and were "
                   "kept:\n\n",
             report.changed);
    add_list(text, "\n\nThese are not part of this installation of Veltranox 2003, and were "
                   "kept:\n\n",
             report.foreign);
}

// Where the installation is, when there is one to remove.
struct Installation {
    PathBuffer folder;
    InstallRecord record; // kRecordNone: found by a fallback, not by "Path"
};

// A folder named by something other than the record (the folder the
// uninstaller started from, the uninstall entry): the installation when
// it holds installed files as they were installed.
bool holds_installation(const char* named, char* folder)
{
    return install_folder_check(named, folder) == kFolderAccepted &&
           holds_installed_files(folder);
}

// The folder the uninstaller was started from (origin, its file), when it
// is one that may be an installation at all, into folder.
bool start_folder(const char* origin, char* folder)
{
    PathBuffer named;
    lstrcpynA(named, origin, kPathSize);
    char* name = (char*)path_file_name(named);
    if (name == named || lstrcmpiA(name, UNINSTALLER_NAME) != 0)
        return false;
    name[-1] = '\0';
    return install_folder_check(named, folder) == kFolderAccepted;
}

// The start folder, when it holds the installation; or when nothing of it
// is left there but this uninstaller itself, in the folder of a removal
// that was cut short.
bool started_from_installation(const char* origin, const char* self, char* folder)
{
    if (!start_folder(origin, folder))
        return false;
    if (holds_installed_files(folder))
        return true;
    if (!removal_recorded(folder))
        return false;
    CheckedFile uninstaller;
    return uninstaller.check_same_as(folder, UNINSTALLER_NAME, self) == kOurs;
}

// No files of the installation where its uninstall entry points (a
// removal cut short after the main program went, or files deleted by
// hand): only the entry goes, and nothing on disk.
int remove_stale_entry(const char* location)
{
    PathBuffer folder;
    FolderVerdict verdict = install_folder_check(location, folder);
    if (verdict == kFolderMissing)
        comparable_path(location, folder);
    else if (verdict != kFolderAccepted)
        return refuse_not_found(location);
    Report report;
    memset(&report, 0, sizeof report);
    remove_uninstall_entry(folder, false, &report);
    if (report.failed.count + report.foreign.count != 0)
        return refuse_not_found(folder);
    Text text;
    text << "No installation of Veltranox 2003 was found in " << folder
         << ", so nothing was deleted there. Its entry in the list of installed programs, "
            "which named that folder, was removed.";
    show(text, MB_OK | MB_ICONINFORMATION);
    return kExitRemoved;
}

// Finds the installation and checks it; kExitRemoved when it may be
// removed, else the exit code after the message was shown. A removal that
// is cut short can be run again: with the record gone, the folder the
// uninstaller was started from or the uninstall entry's still lead to what
// is left.
int locate(const char* origin, const char* self, Installation* found)
{
    InstallRecord& record = found->record;
    find_install_record(&record);
    Text text;
    if (record.source == kRecordNone) {
        if (started_from_installation(origin, self, found->folder))
            return kExitRemoved;
        PathBuffer location;
        if (read_install_location(location)) {
            if (holds_installation(location, found->folder))
                return kExitRemoved;
            return remove_stale_entry(location);
        }
        PathBuffer folder;
        if (start_folder(origin, folder))
            return refuse_not_found(folder);
        text << "Veltranox 2003 is not installed on this computer: no install folder is "
                "recorded for it."
             << kNothingRemoved;
        show(text, MB_OK | MB_ICONINFORMATION);
        return kExitRefused;
    }
    if (record.source == kRecordOtherUsers) {
        text << "Veltranox 2003 was installed for all users of this computer. Only a user "
                "who may change the whole computer's settings can remove it."
             << kNothingRemoved;
        show(text, MB_OK | MB_ICONEXCLAMATION);
        return kExitRefused;
    }
    if (record.status != ERROR_SUCCESS)
        return refuse_folder("(more than 519 characters)", kFolderTooLong);
    FolderVerdict verdict = install_folder_check(record.path, found->folder);
    if (verdict != kFolderAccepted)
        return refuse_folder(record.path, verdict);
    if (!holds_installed_files(found->folder))
        return refuse_not_found(found->folder);
    return kExitRemoved;
}

int closing_message(const Report& report, const char* folder, bool folderGone,
                    const char* selfLeft)
{
    Text text;
    if (report.failed.count != 0) {
        text << "Veltranox 2003 was removed, except for these items, which could not be "
                "removed:\n\n"
             << report.failed.text;
        if (report.failed.count > report.failed.listed)
            text << "... and " << report.failed.count - report.failed.listed << " more\n";
        text << "\nYou can delete them yourself once no program uses them.";
    } else {
        text << "Veltranox 2003 was removed from your computer.";
    }
    add_kept(text, report);
    if (report.failed.count == 0 && !folderGone && selfLeft == NULL)
        text << "\n\nThe folder " << folder
             << " was kept, as it holds files that were not installed with Veltranox.";
    if (selfLeft != NULL)
        text << "\n\nThe uninstaller cannot delete its own file while it runs. You can delete "
             << selfLeft << " yourself now, and then the folder " << folder
             << " if nothing else is left in it.";
    show(text, MB_OK | (report.failed.count != 0 ? MB_ICONWARNING : MB_ICONINFORMATION));
    return report.failed.count != 0 ? kExitIncomplete : kExitRemoved;
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

    Installation found;
    int refused = locate(confirmed ? original : self, self, &found);
    if (refused != kExitRemoved)
        return refused;
    const char* folder = found.folder;
    PathBuffer mainProgram;
    path_join(folder, MAIN_PROGRAM_NAME, mainProgram);
    if (main_program_in_use(mainProgram))
        return refuse_running();

    if (!confirmed) {
        Text question;
        question << "Remove Veltranox 2003 and all of its components from " << folder
                 << "?\n\nFiles that you made or changed yourself in this folder are kept.";
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

    // With the uninstaller in the folder, the record of this removal is
    // what lets a rerun finish it once the last installed file is gone.
    if (GetFileAttributesA(installedSelf) != INVALID_FILE_ATTRIBUTES)
        record_removal(folder);

    Report report;
    memset(&report, 0, sizeof report);
    // The main program and this uninstaller outlive the record: until the
    // end, whatever stops this run leaves an installation that the
    // uninstaller can find and remove again.
    remove_links(mainProgram, &report);
    remove_installed_files(folder, &report);
    remove_registration(found.record, folder, mainProgram, &report);
    remove_main_program(folder, &report);
    remove_uninstall_entry(folder, found.record.source != kRecordNone, &report);
    if (selfLeft == NULL)
        remove_folder_uninstaller(folder, self, &report);
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
