// The setup program run whole, in a fresh Wine prefix per scenario, walked
// from this process as a user would walk it: what it shows, every notice in
// order, what it leaves on disk, in the registry and in the shell, what it
// starts, and its exit code. ctest runs each suite in a prefix of its own.
//
// ProbeSetup.exe carries the launch probe as its main program (it records
// how it was started), NewerSetup.exe the probe with version 2.0.0.0, and
// DamagedSetup.exe a licence text that fails the integrity check; apart
// from their payload they are the release program. The damaged\*.exe are
// ProbeSetup.exe with one byte of one payload resource changed in the file.
#include <windows.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <map>
#include <string>

#include "common/private_temp.h"
#include "payload/catalogue.h"
#include "tests/support/benchutil.h"
#include "tests/support/robot.h"
#include "tests/win/e2e/installed.h"
#include "tests/support/planted.h"
#include "tests/win/e2e/walk.h"
#include "tests/support/registry.h"

namespace {

using namespace e2e;

const char kRemovableNotice[] = "Veltranox can't be installed to a removable disk.";
const char kInUseNotice[] =
    "Unable to overwrite existing veltranox.exe file; installation aborted.  If your existing "
    "copy of Veltranox is running, please shut it down and try again.  Otherwise, rebooting "
    "your computer should take care of the problem.";
const char kNewerNotice[] =
    "A more recent version of Veltranox already exists at the install location.  "
    "Installation aborted.";
const char kRegistryNotice[] = "Unable to access system registry.  Installation aborted.";
const char kDamagedNotice[] = "Velt.exe installer file is damaged. Installation aborted.";
const char kMainWindowClass[] = "Veltranox2003Main";

std::string main_program_in(const std::string& folder)
{
    return folder + "\\Veltranox.exe";
}

// The launch probe's record for a start in `folder`, maximised.
std::string launched_in(const std::string& folder)
{
    return folder + "\r\n" + std::to_string(SW_SHOWMAXIMIZED) + "\r\n" +
           main_program_in(folder) + "\r\n";
}

// Walks the setup program at `path`, started in `folder` (or this test's
// current folder).
WalkRecord walk_path(const std::string& path, const WalkPlan& plan = WalkPlan(),
                     const char* folder = nullptr)
{
    WalkRecord record = walk_setup("\"" + path + "\"", plan, folder);
    EXPECT_TRUE(record.started) << path << " did not start";
    EXPECT_TRUE(record.finished) << path << " was still running at the timeout";
    EXPECT_EQ(0u, record.exitCode);
    for (const robot::Notice& notice : record.notices)
        EXPECT_EQ(nullptr, notice.owner) << "an error notice has no owner: " << notice.caption;
    return record;
}

// Walks the setup program of that name beside this test.
WalkRecord walk(const char* program, const WalkPlan& plan = WalkPlan())
{
    return walk_path(sibling_path(program), plan);
}

// The notices shown, in order, as "caption | text" lines.
std::string notices_of(const WalkRecord& record)
{
    return describe(record.notices);
}

std::string notice(const std::string& caption, const std::string& text)
{
    return describe({robot::Notice{caption, text}});
}

std::string system_message(DWORD error)
{
    char* text = nullptr;
    FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_ALLOCATE_BUFFER, nullptr, error,
                   0x400, (char*)&text, 0, nullptr);
    std::string message = text != nullptr ? text : "";
    LocalFree(text);
    return message;
}

Payload load_payload(const char* variable)
{
    Payload payload;
    EXPECT_TRUE(payload.load(variable)) << payload.error;
    return payload;
}

// What the registry start-up leaves when both keys can be written, and no
// more: the state after a run that ended before any file was written.
void expect_only_startup_values()
{
    expect_string(HKEY_CURRENT_USER, kSettingsKey, "patch", "blank");
    expect_dword(HKEY_CURRENT_USER, kSettingsKey, "nolmaccess", 0);
    expect_no_value(HKEY_CURRENT_USER, kSettingsKey, "zxcount");
    expect_no_value(HKEY_CURRENT_USER, kSettingsKey, "Installed");
    expect_string(HKEY_LOCAL_MACHINE, kMachineKey, "patch", "blank");
    expect_no_value(HKEY_LOCAL_MACHINE, kMachineKey, "Path");
    EXPECT_FALSE(key_exists(HKEY_LOCAL_MACHINE, kAppPathsKey));
    EXPECT_FALSE(key_exists(HKEY_LOCAL_MACHINE, kUninstallKey));
    EXPECT_EQ(0u, count_of(uninstaller_list(), kUninstallListEntry));
}

// Nothing of the payload anywhere, no link, nothing started.
void expect_no_payload_written(const std::string& folder)
{
    EXPECT_TRUE(names_in(folder).empty()) << "files written into " << folder;
    EXPECT_FALSE(file_exists(windows_directory() + "\\vmon03.exe"));
    EXPECT_FALSE(file_exists(windows_directory() + "\\vcluins1.exe"));
    EXPECT_FALSE(file_exists(temp_folder() + "data.tmp"));
    EXPECT_FALSE(file_exists(start_menu_link()));
    EXPECT_FALSE(file_exists(desktop_link()));
}

// Every value of the settings store and of the program registration after
// a completed installation into `folder` by the setup program at
// `setupPath` with both keys writable.
void expect_registered(const std::string& folder, const std::string& setupPath)
{
    expect_string(HKEY_CURRENT_USER, kSettingsKey, "patch", "blank");
    expect_dword(HKEY_CURRENT_USER, kSettingsKey, "nolmaccess", 0);
    expect_dword(HKEY_CURRENT_USER, kSettingsKey, "zxcount", 43);
    expect_string(HKEY_CURRENT_USER, kSettingsKey, "Installed", setupPath);
    expect_no_value(HKEY_CURRENT_USER, kSettingsKey, "Path");
    expect_string(HKEY_LOCAL_MACHINE, kMachineKey, "patch", "blank");
    expect_string(HKEY_LOCAL_MACHINE, kMachineKey, "Path", folder);
    expect_string(HKEY_LOCAL_MACHINE, kAppPathsKey, nullptr, main_program_in(folder));
    expect_string(HKEY_LOCAL_MACHINE, kAppPathsKey, "Path", folder);
    expect_string(HKEY_LOCAL_MACHINE, kUninstallKey, "DisplayName",
                  "Veltranox 2003   (Remove Only)");
    expect_string(HKEY_LOCAL_MACHINE, kUninstallKey, "UninstallString",
                  windows_directory() + "\\vcluins1.exe");
    expect_string(HKEY_LOCAL_MACHINE, kUninstallKey, "Publisher", "Tervick Software");
    expect_string(HKEY_LOCAL_MACHINE, kUninstallKey, "DisplayVersion", "1.0.0.1");
    expect_string(HKEY_LOCAL_MACHINE, kUninstallKey, "DisplayIcon", main_program_in(folder));
    expect_string(HKEY_LOCAL_MACHINE, kUninstallKey, "InstallLocation", folder);
    expect_dword(HKEY_LOCAL_MACHINE, kUninstallKey, "NoModify", 1);
    expect_dword(HKEY_LOCAL_MACHINE, kUninstallKey, "NoRepair", 1);
    EXPECT_EQ(1u, count_of(uninstaller_list(), kUninstallListEntry)) << uninstaller_list();
}

// Last-write times of a folder's files, and of registry keys: a run that
// writes nothing leaves them all as they were.
std::map<std::string, ULONGLONG> write_times(const std::string& folder)
{
    std::map<std::string, ULONGLONG> times;
    for (const std::string& name : names_in(folder)) {
        WIN32_FILE_ATTRIBUTE_DATA data;
        if (GetFileAttributesExA((folder + "\\" + name).c_str(), GetFileExInfoStandard, &data))
            times[name] = ((ULONGLONG)data.ftLastWriteTime.dwHighDateTime << 32) |
                          data.ftLastWriteTime.dwLowDateTime;
    }
    return times;
}

ULONGLONG key_write_time(HKEY root, const std::string& path)
{
    HKEY key;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return 0;
    FILETIME time = {};
    RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                     nullptr, nullptr, nullptr, &time);
    RegCloseKey(key);
    return ((ULONGLONG)time.dwHighDateTime << 32) | time.dwLowDateTime;
}

struct Footprint {
    std::map<std::string, ULONGLONG> installFolder;
    std::map<std::string, ULONGLONG> links;
    ULONGLONG appPaths = 0, uninstall = 0;

    static Footprint of(const std::string& folder)
    {
        Footprint f;
        f.installFolder = write_times(folder);
        for (const std::string& link : {start_menu_link(), desktop_link(), quick_launch_link()}) {
            std::string parent = link.substr(0, link.rfind('\\'));
            f.links[link] = write_times(parent)["Veltranox 2003.lnk"];
        }
        f.appPaths = key_write_time(HKEY_LOCAL_MACHINE, kAppPathsKey);
        f.uninstall = key_write_time(HKEY_LOCAL_MACHINE, kUninstallKey);
        return f;
    }
};

void expect_unchanged(const Footprint& before, const Footprint& after)
{
    EXPECT_EQ(before.installFolder, after.installFolder) << "files were written";
    EXPECT_EQ(before.links, after.links) << "links were written";
    EXPECT_EQ(before.appPaths, after.appPaths) << "App Paths were written";
    EXPECT_EQ(before.uninstall, after.uninstall) << "the uninstall entry was written";
}

// What the racer leaves when it stops: its "data.tmp", also in a private
// folder, which then cannot go with the installation's end.
void remove_racer_files(const std::string& temp)
{
    remove_file(temp + "data.tmp");
    for (const std::string& name : private_folders_in(temp)) {
        remove_file(temp + name + "\\data.tmp");
        RemoveDirectoryA((temp + name).c_str());
    }
}

// racer.exe, racing the setup program for "data.tmp" until stopped.
class Racer {
public:
    bool start()
    {
        stop_ = CreateEventA(nullptr, TRUE, FALSE, "e2e-racer-stop");
        HANDLE ready = CreateEventA(nullptr, TRUE, FALSE, "e2e-racer-ready");
        std::string commandLine = "\"" + sibling_path("racer.exe") +
                                  "\" e2e-racer-stop e2e-racer-ready \"" + log_ + "\"";
        STARTUPINFOA startup = {};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION process;
        if (!CreateProcessA(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr,
                            nullptr, &startup, &process))
            return false;
        CloseHandle(process.hThread);
        process_ = process.hProcess;
        HANDLE waits[] = {ready, process_};
        bool racing = WaitForMultipleObjects(2, waits, FALSE, 30000) == WAIT_OBJECT_0;
        CloseHandle(ready);
        return racing;
    }
    // Its tally of attempts, "variant error count" a line.
    std::string stop()
    {
        SetEvent(stop_);
        WaitForSingleObject(process_, 30000);
        CloseHandle(process_);
        CloseHandle(stop_);
        return read_file(log_);
    }

private:
    HANDLE stop_ = nullptr;
    HANDLE process_ = nullptr;
    std::string log_ = temp_folder() + "racer.log";
};

// ------------------------------------------------------------------------

// A first installation on a fresh machine, then the same setup program run
// again over it, with another program racing it for its temp file.
TEST(FirstInstallation, InstallsRegistersLinksAndStartsThenASecondRunRewritesIt)
{
    Payload payload = load_payload("PROBE_PAYLOAD");
    ASSERT_TRUE(make_quick_launch_folder());

    WalkRecord first = walk("ProbeSetup.exe");
    EXPECT_EQ("(no notice)\n", notices_of(first));
    ASSERT_EQ(1u, first.locations.size());
    EXPECT_EQ(kInstallFolder, first.locations[0].folder);
    EXPECT_TRUE(first.locations[0].changeEnabled);
    EXPECT_EQ(1, first.licenceShowings);
    EXPECT_TRUE(first.licenceText == payload.bytes(159)) << "the licence shown is not the carried text";
    EXPECT_TRUE(first.progressSeen) << "no progress notice while the files were written";

    EXPECT_EQ(launched_in(kInstallFolder), wait_for_launch_record(kInstallFolder, 60000));
    expect_installation(payload, kInstallFolder, windows_directory(), {kLaunchRecord});
    expect_registered(kInstallFolder, sibling_path("ProbeSetup.exe"));
    expect_no_value(HKEY_LOCAL_MACHINE, kMachineKey, "Installed");
    EXPECT_TRUE(keep_for_lnkinfo(start_menu_link(), "startmenu.lnk")) << start_menu_link();
    EXPECT_TRUE(keep_for_lnkinfo(desktop_link(), "desktop.lnk")) << desktop_link();
    EXPECT_TRUE(keep_for_lnkinfo(quick_launch_link(), "quicklaunch.lnk")) << quick_launch_link();

    // The user changed a read-only colour scheme and the tips meanwhile.
    for (const char* name : {"Blue.scm", "AMPAS.stp", "tips.txt"}) {
        std::string path = std::string(kInstallFolder) + "\\" + name;
        DWORD attributes = attributes_of(path);
        SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        ASSERT_TRUE(write_file(path, "changed")) << path;
        SetFileAttributesA(path.c_str(), attributes);
    }
    ASSERT_TRUE(remove_file(std::string(kInstallFolder) + "\\" + kLaunchRecord));

    // Another program of the user swaps the temp file all along: nothing of
    // it is installed, and the installation is whole.
    Racer racer;
    ASSERT_TRUE(racer.start());
    WalkRecord second = walk("ProbeSetup.exe");
    std::string raced = racer.stop();
    SCOPED_TRACE("racer: " + raced);
    // Elevated (as every process under Wine is), the setup program works in
    // a private folder of the temp folder, which Wine lets the racer write;
    // that folder exists only while the files are written, so attempts in it
    // prove that the racer ran alongside them. (How often it is refused while
    // the file is held depends on the machine's load: the tally says.)
    if (process_is_elevated())
        EXPECT_NE(std::string::npos, raced.find("private-rename ")) << "never raced the setup";
    remove_racer_files(temp_folder());
    EXPECT_EQ("(no notice)\n", notices_of(second));
    ASSERT_EQ(1u, second.locations.size());
    EXPECT_EQ(kInstallFolder, second.locations[0].folder) << "the previous folder is proposed";
    EXPECT_FALSE(second.locations[0].changeEnabled) << "Change... is locked on a reinstall";
    EXPECT_EQ(launched_in(kInstallFolder), wait_for_launch_record(kInstallFolder, 60000));
    expect_installation(payload, kInstallFolder, windows_directory(), {kLaunchRecord});
    expect_registered(kInstallFolder, sibling_path("ProbeSetup.exe"));
    // The start-up copy carried the first run's record to the machine key.
    expect_string(HKEY_LOCAL_MACHINE, kMachineKey, "Installed", sibling_path("ProbeSetup.exe"));
    for (const std::string& link : {start_menu_link(), desktop_link(), quick_launch_link()})
        EXPECT_TRUE(file_exists(link)) << link;
}

TEST(Cancel, InTheLocationDialogEndsBeforeAnythingIsWritten)
{
    WalkPlan plan;
    plan.locationButtons = {IDCANCEL};
    WalkRecord record = walk("VeltranoxSetup.exe", plan);
    EXPECT_EQ("(no notice)\n", notices_of(record));
    ASSERT_EQ(1u, record.locations.size());
    EXPECT_EQ(kInstallFolder, record.locations[0].folder);
    EXPECT_EQ(0, record.licenceShowings);
    EXPECT_FALSE(folder_exists(kInstallFolder));
    expect_only_startup_values();
    expect_no_payload_written(kInstallFolder);
}

TEST(Decline, OfTheLicenceLeavesTheCreatedFolderEmpty)
{
    ASSERT_FALSE(path_exists(kInstallFolder)) << "there before the run";
    WalkPlan plan;
    plan.licenceButton = IDCANCEL;
    WalkRecord record = walk("VeltranoxSetup.exe", plan);
    EXPECT_EQ("(no notice)\n", notices_of(record));
    EXPECT_EQ(1, record.licenceShowings);
    EXPECT_FALSE(record.progressSeen);
    ASSERT_TRUE(folder_exists(kInstallFolder)) << "validation creates the folder";
    EXPECT_EQ(0u, attributes_of(kInstallFolder) & FILE_ATTRIBUTE_READONLY);
    expect_only_startup_values();
    expect_no_payload_written(kInstallFolder);
}

// The previous installation named by the registry lies on a floppy disk:
// it is proposed all the same, rejected on Install, and proposed again; the
// user picks the floppy in the folder browser, which is rejected too, and
// the proposal (not the rejected pick) is shown again; the user then picks
// drive C: and installs there.
TEST(RejectedFolder, IsAnnouncedAndTheProposalShownAgain)
{
    const std::string planted = "D:\\Apps\\Veltranox";
    const std::string picked = "C:\\Veltranox";
    set_string_value(HKEY_LOCAL_MACHINE, kMachineKey, "Path", planted);
    Payload payload = load_payload("PROBE_PAYLOAD");

    WalkPlan plan;
    plan.locationButtons = {IDOK, IDOK, IDOK};
    plan.beforeLocationButton = [](HWND dialog, int showing) {
        if (showing == 1)
            EXPECT_TRUE(browse_to(dialog, "D:\\")) << "the folder browser could not be used";
        if (showing == 2)
            EXPECT_TRUE(browse_to(dialog, "C:\\")) << "the folder browser could not be used";
    };
    WalkRecord record = walk("ProbeSetup.exe", plan);
    EXPECT_EQ(notice("ERROR 12", kRemovableNotice) + notice("ERROR 12", kRemovableNotice),
              notices_of(record));
    ASSERT_EQ(3u, record.locations.size());
    EXPECT_EQ(planted, record.locations[0].folder);
    EXPECT_TRUE(record.locations[0].changeEnabled) << "a rejected previous folder locks nothing";
    EXPECT_EQ(planted, record.locations[1].folder) << "the proposal is shown again";
    EXPECT_EQ("D:\\Veltranox", record.locations[1].folderAnswered) << "the pick is taken";
    EXPECT_EQ(planted, record.locations[2].folder)
        << "the proposal is shown again, not the rejected pick";
    EXPECT_EQ(picked, record.locations[2].folderAnswered);

    EXPECT_EQ(launched_in(picked), wait_for_launch_record(picked, 60000));
    expect_installation(payload, picked, windows_directory(), {kLaunchRecord});
    expect_registered(picked, sibling_path("ProbeSetup.exe"));
    EXPECT_TRUE(names_in("D:\\").empty()) << "something was written to the floppy";
}

// The release program installs the real application, which stays open;
// run again, the setup program finds it in use, waits, and gives up.
TEST(MainProgramRunning, InstallsTheReleaseThenRefusesToReplaceItWhileItRuns)
{
    Payload payload = load_payload("RELEASE_PAYLOAD");
    WalkRecord first = walk("VeltranoxSetup.exe");
    EXPECT_EQ("(no notice)\n", notices_of(first));
    robot::Robot anyone;
    anyone.watch_all_processes(true);
    HWND mainWindow = anyone.find_window_by_class(kMainWindowClass, 60000);
    ASSERT_NE(nullptr, mainWindow) << "the installed program did not start";
    EXPECT_TRUE(IsZoomed(mainWindow)) << "the installed program starts maximised";
    expect_installation(payload, kInstallFolder, windows_directory());
    expect_registered(kInstallFolder, sibling_path("VeltranoxSetup.exe"));
    // The list of installed programs gives the release's size, in KB.
    expect_dword(HKEY_LOCAL_MACHINE, kUninstallKey, "EstimatedSize",
                 DWORD((payload.total_size() + 1023) / 1024));

    Footprint before = Footprint::of(kInstallFolder);
    WalkRecord second = walk("VeltranoxSetup.exe");
    EXPECT_EQ(notice("ERROR 4", kInUseNotice), notices_of(second));
    ASSERT_EQ(1u, second.locations.size());
    EXPECT_FALSE(second.locations[0].changeEnabled);
    EXPECT_GE(second.endedAtMs - second.acceptedAtMs, 3000.0)
        << "the setup program gives the running copy 3 s to close";
    expect_unchanged(before, Footprint::of(kInstallFolder));
    EXPECT_FALSE(file_exists(temp_folder() + "data.tmp"));

    PostMessageA(mainWindow, WM_CLOSE, 0, 0);
    EXPECT_TRUE(robot::wait_window_gone(mainWindow, 60000));
}

// A newer release is installed; the older setup program refuses to
// downgrade it and leaves everything as it was.
TEST(NewerInstalled, IsNotDowngraded)
{
    Payload newer = load_payload("NEWER_PAYLOAD");
    ASSERT_TRUE(make_quick_launch_folder());
    WalkRecord first = walk("NewerSetup.exe");
    EXPECT_EQ("(no notice)\n", notices_of(first));
    EXPECT_EQ(launched_in(kInstallFolder), wait_for_launch_record(kInstallFolder, 60000));
    ASSERT_TRUE(remove_file(std::string(kInstallFolder) + "\\" + kLaunchRecord));

    Footprint before = Footprint::of(kInstallFolder);
    WalkRecord second = walk("VeltranoxSetup.exe");
    EXPECT_EQ(notice("ERROR 5", kNewerNotice), notices_of(second));
    ASSERT_EQ(1u, second.locations.size());
    EXPECT_FALSE(second.locations[0].changeEnabled);
    expect_unchanged(before, Footprint::of(kInstallFolder));
    expect_installation(newer, kInstallFolder, windows_directory());
    // The installation record still names the newer release's setup.
    expect_string(HKEY_CURRENT_USER, kSettingsKey, "Installed", sibling_path("NewerSetup.exe"));
    Sleep(1000);
    EXPECT_FALSE(file_exists(std::string(kInstallFolder) + "\\" + kLaunchRecord))
        << "the installed program was started";
}

// A user who may not write to HKEY_LOCAL_MACHINE: the machine-wide values
// go to the settings key, and the uninstaller into the install folder.
TEST(MachineKeyClosed, InstallsWithTheSettingsKeyStandingIn)
{
    Payload payload = load_payload("PROBE_PAYLOAD");
    {
        ReadOnlyKey machine(HKEY_LOCAL_MACHINE, kMachineKey);
        ReadOnlyKey appPaths(HKEY_LOCAL_MACHINE,
                             "Software\\Microsoft\\Windows\\CurrentVersion\\App Paths");
        ReadOnlyKey uninstall(HKEY_LOCAL_MACHINE,
                              "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall");
        ASSERT_EQ(0, machine.status());
        ASSERT_EQ(0, appPaths.status());
        ASSERT_EQ(0, uninstall.status());

        WalkRecord record = walk("ProbeSetup.exe");
        EXPECT_EQ("(no notice)\n", notices_of(record)) << "no notice 10 under nolmaccess";
        EXPECT_EQ(launched_in(kInstallFolder), wait_for_launch_record(kInstallFolder, 60000));
        expect_installation(payload, kInstallFolder, kInstallFolder, {kLaunchRecord});

        expect_dword(HKEY_CURRENT_USER, kSettingsKey, "nolmaccess", 1);
        expect_string(HKEY_CURRENT_USER, kSettingsKey, "patch", "blank");
        expect_string(HKEY_CURRENT_USER, kSettingsKey, "Path", kInstallFolder);
        expect_dword(HKEY_CURRENT_USER, kSettingsKey, "zxcount", 43);
        expect_string(HKEY_CURRENT_USER, kSettingsKey, "Installed", sibling_path("ProbeSetup.exe"));
        expect_no_value(HKEY_LOCAL_MACHINE, kMachineKey, "patch");
        expect_no_value(HKEY_LOCAL_MACHINE, kMachineKey, "Path");
        EXPECT_FALSE(key_exists(HKEY_LOCAL_MACHINE, kAppPathsKey));
        EXPECT_FALSE(key_exists(HKEY_LOCAL_MACHINE, kUninstallKey));
        EXPECT_EQ(0u, count_of(uninstaller_list(), kUninstallListEntry));
        EXPECT_TRUE(file_exists(start_menu_link()));
        EXPECT_TRUE(file_exists(desktop_link()));
    }

    // The keys open again: a plain rerun registers the uninstaller where the
    // entry names it, and leaves no second one in the install folder.
    ASSERT_TRUE(remove_file(std::string(kInstallFolder) + "\\" + kLaunchRecord));
    WalkRecord again = walk("ProbeSetup.exe");
    EXPECT_EQ("(no notice)\n", notices_of(again));
    EXPECT_EQ(launched_in(kInstallFolder), wait_for_launch_record(kInstallFolder, 60000));
    expect_installation(payload, kInstallFolder, windows_directory(), {kLaunchRecord});
}

TEST(SettingsKeyClosed, EndsAtOnceWithNotice1A)
{
    ReadOnlyKey settings(HKEY_CURRENT_USER, kSettingsKey);
    ASSERT_EQ(0, settings.status());
    WalkRecord record = walk("VeltranoxSetup.exe");
    EXPECT_EQ(notice("ERROR 1A", kRegistryNotice), notices_of(record));
    EXPECT_TRUE(record.locations.empty());
    expect_no_value(HKEY_CURRENT_USER, kSettingsKey, "patch");
    expect_no_value(HKEY_CURRENT_USER, kSettingsKey, "nolmaccess");
    EXPECT_FALSE(key_exists(HKEY_LOCAL_MACHINE, kMachineKey)) << "the machine key was touched";
    EXPECT_FALSE(folder_exists(kInstallFolder));
}

// TEMP and TMP name a folder that does not exist: "data.tmp" cannot be
// written, so the main program cannot be expanded and the run ends with
// the system's message under step code 34.
TEST(NoTempFolder, EndsAtTheMainProgramWithNotice34)
{
    const char kNowhere[] = "C:\\no such folder\\temp";
    SetEnvironmentVariableA("TMP", kNowhere);
    SetEnvironmentVariableA("TEMP", kNowhere);
    WalkRecord record = walk("VeltranoxSetup.exe");
    EXPECT_EQ(notice("ERROR 34", system_message(ERROR_PATH_NOT_FOUND)), notices_of(record));
    EXPECT_EQ(1, record.licenceShowings);
    ASSERT_TRUE(folder_exists(kInstallFolder));
    expect_only_startup_values();
    expect_no_payload_written(kInstallFolder);
    EXPECT_FALSE(folder_exists(kNowhere));
}

TEST(DamagedLicence, IsRefusedBeforeAnyFileIsWritten)
{
    WalkRecord record = walk("DamagedSetup.exe");
    EXPECT_EQ(notice("ERROR 70", kDamagedNotice), notices_of(record));
    EXPECT_FALSE(record.progressSeen);
    ASSERT_TRUE(folder_exists(kInstallFolder));
    expect_only_startup_values();
    expect_no_payload_written(kInstallFolder);
}

// Setup programs damaged after they were built: the licence, the main
// program's container and a raw entry each fail the checksum the build
// recorded, with the system's text for it; the main program's container
// turned into no container (its checksum made to match) is refused as
// invalid data. Nothing damaged is installed, and no damage replaces the
// installed main program. A copy whose table of checksums is gone passes
// no check at all.
TEST(DamagedPayload, IsNeverInstalledAndNamesTheChecksum)
{
    const std::string crcNotice = notice("ERROR 62", system_message(ERROR_CRC));
    Payload payload = load_payload("PROBE_PAYLOAD");
    ASSERT_TRUE(make_quick_launch_folder());

    for (const char* copy : {"LicenceFlipped.exe", "NoChecksums.exe"}) {
        WalkRecord licence = walk(copy);
        EXPECT_EQ(crcNotice, notices_of(licence)) << copy;
        EXPECT_FALSE(licence.progressSeen) << copy;
        expect_only_startup_values();
        expect_no_payload_written(kInstallFolder);
    }

    // The damaged file is left out; everything else installs and starts.
    WalkRecord manifest = walk("ManifestFlipped.exe");
    EXPECT_EQ(crcNotice, notices_of(manifest));
    EXPECT_EQ(launched_in(kInstallFolder), wait_for_launch_record(kInstallFolder, 60000));
    expect_installation(payload, kInstallFolder, windows_directory(), {kLaunchRecord}, 186);
    expect_registered(kInstallFolder, sibling_path("ManifestFlipped.exe"));
    ASSERT_TRUE(remove_file(std::string(kInstallFolder) + "\\" + kLaunchRecord));

    // Over that installation, a damaged main program goes nowhere.
    const std::string mainProgram = main_program_in(kInstallFolder);
    ASSERT_TRUE(payload.bytes(106) == read_file(mainProgram));
    WalkRecord flipped = walk("MainFlipped.exe");
    EXPECT_EQ(crcNotice + notice("ERROR 34", system_message(ERROR_CRC)), notices_of(flipped));
    WalkRecord unpacked = walk("MainNoContainer.exe");
    EXPECT_EQ(notice("ERROR 34", system_message(ERROR_INVALID_DATA)), notices_of(unpacked));
    EXPECT_TRUE(payload.bytes(106) == read_file(mainProgram)) << "the main program changed";
    EXPECT_FALSE(file_exists(std::string(kInstallFolder) + "\\image.tmp"));
    EXPECT_FALSE(file_exists(temp_folder() + "data.tmp"));
    EXPECT_EQ("", wait_for_launch_record(kInstallFolder, 1000)) << "a program was started";
}

// A previous installation on a drive that is all but full: the main
// program cannot be expanded, the notice says why, the old copy stays.
TEST(FullDisk, IsNamedAsAFullDiskAndKeepsTheOldMainProgram)
{
    const std::string folder = "F:\\Veltranox";
    const std::string mainProgram = main_program_in(folder);
    const std::string oldProgram = "the previous installation's main program";
    ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr));
    ASSERT_TRUE(write_file(mainProgram, oldProgram));
    set_string_value(HKEY_LOCAL_MACHINE, kMachineKey, "Path", folder);
    // Fill the drive up to the last 64 KB: far less than the main program.
    ULARGE_INTEGER available;
    ASSERT_TRUE(GetDiskFreeSpaceExA("F:\\", &available, nullptr, nullptr));
    const ULONGLONG kLeft = 64 * 1024;
    ASSERT_GT(available.QuadPart, kLeft) << "the test drive is too small";
    ASSERT_TRUE(write_file("F:\\filler.bin", std::string(size_t(available.QuadPart - kLeft), 'f')));
    Payload payload = load_payload("RELEASE_PAYLOAD");
    ASSERT_GT(payload.bytes(106).size(), kLeft * 2);

    WalkRecord record = walk("VeltranoxSetup.exe");
    EXPECT_EQ(notice("ERROR 34", system_message(ERROR_DISK_FULL)), notices_of(record));
    ASSERT_EQ(1u, record.locations.size());
    EXPECT_EQ(folder, record.locations[0].folder);
    EXPECT_EQ(oldProgram, read_file(mainProgram));
    EXPECT_FALSE(file_exists(temp_folder() + "data.tmp"));

    // Room for the main program and little else: every file that does not
    // fit is left out whole, never cut short or empty, and the full disk is
    // told once, not once a file.
    ASSERT_TRUE(remove_file("F:\\filler.bin"));
    Payload probe = load_payload("PROBE_PAYLOAD");
    ASSERT_TRUE(GetDiskFreeSpaceExA("F:\\", &available, nullptr, nullptr));
    const ULONGLONG room = probe.bytes(106).size() + 96 * 1024;
    ASSERT_GT(available.QuadPart, room) << "the test drive is too small";
    ASSERT_TRUE(write_file("F:\\filler.bin", std::string(size_t(available.QuadPart - room), 'f')));
    WalkRecord full = walk("ProbeSetup.exe");
    EXPECT_EQ(notice("ERROR 38", system_message(ERROR_DISK_FULL)), notices_of(full));
    EXPECT_TRUE(probe.bytes(106) == read_file(mainProgram));
    int missing = 0;
    for (int i = 1; i < kPayloadEntryCount; ++i) {
        const PayloadEntry& entry = kPayloadCatalogue[i];
        if (entry.destination != PayloadDestination::InstallFolder)
            continue;
        std::string path = folder + "\\" + entry.fileName;
        if (!file_exists(path))
            ++missing;
        else
            EXPECT_TRUE(probe.bytes(entry.id) == read_file(path)) << path << " is not whole";
    }
    EXPECT_GT(missing, 0) << "the drive did not fill up";
    EXPECT_FALSE(file_exists(folder + "\\image.tmp"));
    EXPECT_FALSE(file_exists(temp_folder() + "data.tmp"));
}

// Saved by a browser into the downloads folder with DLLs named like system
// libraries, and started from there with Windows' search order for those
// names: none of them is loaded, and the installation completes as usual.
TEST(PlantedLibraries, InTheDownloadsFolderAreNotLoadedAndTheInstallationCompletes)
{
    Payload payload = load_payload("PROBE_PAYLOAD");
    ASSERT_TRUE(make_quick_launch_folder());
    const std::string downloads = shell_folder(CSIDL_PROFILE) + "\\Downloads";
    const std::string setup = downloads + "\\ProbeSetup.exe";
    ASSERT_TRUE(make_folders(downloads));
    ASSERT_TRUE(CopyFileA(sibling_path("ProbeSetup.exe").c_str(), setup.c_str(), FALSE));
    ASSERT_TRUE(planted::plant_libraries(downloads));

    WalkRecord record;
    {
        planted::NativeFirst nativeFirst;
        ASSERT_TRUE(nativeFirst.set());
        record = walk_path(setup, WalkPlan(), downloads.c_str());
        EXPECT_EQ(launched_in(kInstallFolder), wait_for_launch_record(kInstallFolder, 60000));
    }
    EXPECT_EQ("", planted::loaded_in(downloads));
    EXPECT_EQ("(no notice)\n", notices_of(record));
    EXPECT_EQ(1, record.licenceShowings);
    expect_installation(payload, kInstallFolder, windows_directory(), {kLaunchRecord});
    expect_registered(kInstallFolder, setup);
    for (const std::string& link : {start_menu_link(), desktop_link(), quick_launch_link()})
        EXPECT_TRUE(file_exists(link)) << link;
}

} // namespace

// A Japanese system (code page 932) and "C:\ソフト\表", a folder whose last
// character, like "ソ" in its parent, ends in the backslash byte. Picked in
// the folder browser it gets the product folder below it; recorded as the
// previous install folder it is proposed and installed into as it stands,
// and then found again as a previous installation. Every file lands inside
// it, the registry and the links name it whole, nothing is written beside.
TEST(DoubleByteFolder, IsInstalledIntoWholeWhenBrowsedToAndWhenRecorded)
{
    ASSERT_EQ(932u, GetACP()) << "the bench did not start the test with LANG=ja_JP.UTF-8";
    // "C:\ソフト": ソ 0x83 0x5C, フ 0x83 0x74, ト 0x83 0x67; then 表 0x95 0x5C.
    const std::string parent = "C:\\\x83\x5c\x83\x74\x83\x67";
    const std::string folder = parent + "\\\x95\x5c";
    ASSERT_TRUE(make_folders(folder));
    ASSERT_TRUE(make_quick_launch_folder());
    Payload payload = load_payload("PROBE_PAYLOAD");

    const std::string picked = folder + "\\Veltranox";
    WalkPlan plan;
    plan.beforeLocationButton = [&](HWND dialog, int) {
        EXPECT_TRUE(browse_to(dialog, folder)) << "the folder browser could not be used";
    };
    WalkRecord browsed = walk("ProbeSetup.exe", plan);
    EXPECT_EQ("(no notice)\n", notices_of(browsed));
    ASSERT_EQ(1u, browsed.locations.size());
    EXPECT_EQ(picked, browsed.locations[0].folderAnswered);
    EXPECT_EQ(launched_in(picked), wait_for_launch_record(picked, 60000));
    expect_installation(payload, picked, windows_directory(), {kLaunchRecord});
    expect_registered(picked, sibling_path("ProbeSetup.exe"));
    expect_links_into(picked);
    EXPECT_EQ(std::set<std::string>{"Veltranox"}, names_in(folder));

    remove_tree(picked);
    set_string_value(HKEY_LOCAL_MACHINE, kMachineKey, "Path", folder);
    for (int run = 0; run < 2; ++run) {
        SCOPED_TRACE(run == 0 ? "recorded folder" : "previous installation");
        remove_file(folder + "\\" + kLaunchRecord);
        WalkRecord record = walk("ProbeSetup.exe");
        EXPECT_EQ("(no notice)\n", notices_of(record));
        ASSERT_EQ(1u, record.locations.size());
        EXPECT_EQ(folder, record.locations[0].folder);
        // Only a folder that holds the main program locks Change...
        EXPECT_EQ(run == 0, record.locations[0].changeEnabled);
        EXPECT_EQ(launched_in(folder), wait_for_launch_record(folder, 60000));
        expect_installation(payload, folder, windows_directory(), {kLaunchRecord});
        expect_registered(folder, sibling_path("ProbeSetup.exe"));
        expect_links_into(folder);
        EXPECT_EQ(std::set<std::string>{"\x95\x5c"}, names_in(parent)) << "written beside the folder";
    }
}
