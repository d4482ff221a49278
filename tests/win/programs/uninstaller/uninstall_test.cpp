// The uninstaller as the user meets it: a whole installation by the setup
// program, then its removal through Wine's own program list, checked on
// disk, in the registry and in the messages shown.
#include <windows.h>
#include <sddl.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <atomic>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "payload/catalogue.h"
#include "tests/support/benchutil.h"
#include "tests/support/robot.h"
#include "tests/support/planted.h"
#include "tests/support/registry.h"

namespace {

const char kFolder[] = "C:\\Program Files (x86)\\Veltranox";
const char kCaption[] = "Veltranox 2003 Uninstall";
const char kAppPaths[] = "Software\\Microsoft\\Windows\\CurrentVersion\\App Paths";
const char kAppPathsEntry[] =
    "Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\Veltranox.exe";
const char kUninstall[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
const char kUninstallEntry[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Veltranox";
const char kLinkName[] = "\\Veltranox 2003.lnk";
const char kSessionManager[] = "System\\CurrentControlSet\\Control\\Session Manager";
const char kRemoved[] = "Veltranox 2003 was removed from your computer.";

std::string in_folder(const std::string& name)
{
    return std::string(kFolder) + "\\" + name;
}

// With its trailing backslash.
std::string temp_folder()
{
    char temp[MAX_PATH];
    DWORD length = GetTempPathA(MAX_PATH, temp);
    return length != 0 && length < MAX_PATH ? std::string(temp, length) : std::string();
}

std::string quick_launch_folder()
{
    return shell_folder(CSIDL_LOCAL_APPDATA) + "\\Microsoft\\Internet Explorer\\Quick Launch";
}

std::vector<std::string> link_paths()
{
    return {shell_folder(CSIDL_STARTMENU) + kLinkName,
            shell_folder(CSIDL_DESKTOPDIRECTORY) + kLinkName, quick_launch_folder() + kLinkName};
}

// Names in the folder, sorted, one a line.
std::string listing(const std::string& folder)
{
    if (!folder_exists(folder))
        return "(no folder)";
    std::string text;
    for (const std::string& name : names_in(folder))
        text += name + "\n";
    return text;
}

// Everything an installation consists of, as one text, so that "nothing
// changed" is one comparison.
std::string installation_state()
{
    std::string state = "folder:\n" + listing(kFolder);
    for (const std::string& link : link_paths())
        state += link + (file_exists(link) ? " present\n" : " missing\n");
    state += "machine Path: " + read_value(HKEY_LOCAL_MACHINE, kMachineKey, "Path").text() + "\n";
    state += "settings Path: " + read_value(HKEY_CURRENT_USER, kSettingsKey, "Path").text() + "\n";
    state += "App Paths: " + read_value(HKEY_LOCAL_MACHINE, kAppPathsEntry, NULL).text() + "\n";
    state += "uninstall: " +
             read_value(HKEY_LOCAL_MACHINE, kUninstallEntry, "UninstallString").text() + "\n";
    return state;
}

// Gives a key of HKEY_LOCAL_MACHINE the access list sddl; true on success.
bool set_key_access(const char* path, const char* sddl)
{
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, WRITE_DAC, &key) != ERROR_SUCCESS)
        return false;
    PSECURITY_DESCRIPTOR descriptor = NULL;
    bool done = ConvertStringSecurityDescriptorToSecurityDescriptorA(sddl, SDDL_REVISION_1,
                                                                     &descriptor, NULL) &&
                RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, descriptor) == ERROR_SUCCESS;
    LocalFree(descriptor);
    RegCloseKey(key);
    return done;
}

// Makes a link at path to target, as another program would.
bool make_link(const std::string& path, const std::string& target)
{
    IShellLinkA* link = NULL;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, NULL, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                (void**)&link)))
        return false;
    link->SetPath(target.c_str());
    IPersistFile* file = NULL;
    HRESULT result = link->QueryInterface(IID_IPersistFile, (void**)&file);
    if (SUCCEEDED(result)) {
        std::wstring wide(path.begin(), path.end());
        result = file->Save(wide.c_str(), TRUE);
        file->Release();
    }
    link->Release();
    return SUCCEEDED(result);
}

struct Outcome {
    int exitCode = 0;
    std::vector<robot::Notice> notices;
};

class Uninstall : public ::testing::Test {
protected:
    static void SetUpTestSuite() { CoInitialize(NULL); }

    void SetUp() override
    {
        // Back to a machine without Veltranox.
        remove_tree(kFolder);
        for (const std::string& link : link_paths())
            remove_file(link);
        delete_key_tree(HKEY_LOCAL_MACHINE, kMachineKey);
        delete_key_tree(HKEY_CURRENT_USER, "Software\\Tervick");
        delete_key_tree(HKEY_LOCAL_MACHINE, kAppPathsEntry);
        delete_key_tree(HKEY_LOCAL_MACHINE, kUninstallEntry);
        // A browser would have made the Quick Launch folder; the setup
        // program makes no folder for its links.
        ASSERT_TRUE(make_folders(quick_launch_folder()));
    }

    // A whole run of the setup program: Install, Accept; the main program
    // is then expected in folder. Its boxes go to notices, or are failures.
    void install(const std::string& folder = kFolder,
                 std::vector<robot::Notice>* notices = nullptr)
    {
        std::string command = "\"" + sibling_path("robot-driver.exe") +
                              "\" --log install.log --timeout 90 --press 1002:1 "
                              "--press 1000,!1002:1 \"" +
                              sibling_path("UninstallSetup.exe") + "\"";
        run_and_wait(command, 120000);
        robot::DriverLog log;
        ASSERT_TRUE(robot::read_driver_log("install.log", &log));
        ASSERT_TRUE(log.finished) << "the setup program was still running at the timeout";
        if (notices != nullptr)
            *notices = log.notices;
        else
            for (const auto& notice : log.notices)
                ADD_FAILURE() << "setup box \"" << notice.caption << "\": " << notice.text;
        ASSERT_TRUE(file_exists(folder + "\\Veltranox.exe")) << folder;
        // The main program that the setup program started ends at once, but
        // on a loaded machine perhaps not before the removal would meet it.
        std::string mainProgram = folder + "\\Veltranox.exe";
        ASSERT_TRUE(robot::wait_until(
            [&] {
                HANDLE file = CreateFileA(mainProgram.c_str(), GENERIC_READ | GENERIC_WRITE, 0,
                                          NULL, OPEN_EXISTING, 0, NULL);
                if (file == INVALID_HANDLE_VALUE)
                    return GetLastError() != ERROR_SHARING_VIOLATION;
                CloseHandle(file);
                return true;
            },
            60000))
            << "the started main program did not end";
    }

    // Runs a command line with every message box of every process answered:
    // the question with answer, anything else with OK. Waits until at
    // least boxes boxes were shown (a handed-over removal ends its first
    // process before its last box).
    Outcome run(const std::string& commandLine, int answer, size_t boxes = 0,
                bool inheritHandles = false)
    {
        robot::Robot robot;
        robot.watch_all_processes(true);
        robot.set_answer(kCaption, answer);
        robot.start();
        Outcome result;
        result.exitCode = run_and_wait(commandLine, 60000, inheritHandles);
        if (boxes != 0)
            EXPECT_TRUE(robot.wait_for_notices(boxes, 30000)) << commandLine;
        robot.stop();
        result.notices = robot.notices();
        return result;
    }

    // Through Wine's program list, which starts the uninstall entry's
    // command (it identifies entries by their key name) and waits for it.
    Outcome remove_through_program_list(int answer)
    {
        return run("uninstaller.exe --remove Veltranox", answer);
    }

    Outcome run_uninstaller(const std::string& path, int answer, size_t boxes = 0)
    {
        return run("\"" + path + "\"", answer, boxes);
    }

    void expect_installed_files_gone(const std::set<std::string>& kept = {})
    {
        for (const PayloadEntry& entry : kPayloadCatalogue)
            if (entry.destination != PayloadDestination::WindowsDirectory)
                EXPECT_EQ(kept.count(entry.fileName) != 0, file_exists(in_folder(entry.fileName)))
                    << entry.fileName;
    }

    void expect_links_gone()
    {
        for (const std::string& link : link_paths())
            EXPECT_FALSE(file_exists(link)) << link;
    }
};

void expect_question(const robot::Notice& notice)
{
    EXPECT_EQ(kCaption, notice.caption);
    EXPECT_EQ("Remove Veltranox 2003 and all of its components from " + std::string(kFolder) +
                  "?\n\nFiles that you made or changed yourself in this folder are kept.",
              notice.text);
    EXPECT_EQ((std::vector<int>{IDYES, IDNO}), notice.buttons);
}

TEST_F(Uninstall, ProgramListRemovesWhatSetupWroteAndKeepsTheUsersFiles)
{
    install();
    ASSERT_FALSE(HasFailure());
    // A script of the user's own, and a main program the user made read-only.
    ASSERT_TRUE(CopyFileA(in_folder("Sample.scp").c_str(), in_folder("My Script.scp").c_str(),
                          FALSE));
    SetFileAttributesA(in_folder("Veltranox.exe").c_str(), FILE_ATTRIBUTE_READONLY);
    // Installed files the user went on with: a scene, a word of the
    // dictionary, a line of a (read-only) setup file.
    const std::set<std::string> edited = {"Sample.scp", "main.dct", "Feature.stp"};
    for (const std::string& name : edited) {
        std::string path = in_folder(name);
        DWORD attributes = attributes_of(path);
        SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        ASSERT_TRUE(write_file(path, read_file(path) + "\r\nINT. ATTIC - DAWN\r\n")) << name;
        SetFileAttributesA(path.c_str(), attributes);
    }
    // A link of the same name that belongs to another program.
    std::string foreignLink = shell_folder(CSIDL_COMMON_DESKTOPDIRECTORY) + kLinkName;
    ASSERT_TRUE(make_folders(shell_folder(CSIDL_COMMON_DESKTOPDIRECTORY)));
    ASSERT_TRUE(make_link(foreignLink, windows_directory() + "\\notepad.exe"));
    for (const std::string& link : link_paths())
        ASSERT_TRUE(file_exists(link)) << link;
    std::string zxcount = read_value(HKEY_CURRENT_USER, kSettingsKey, "zxcount").bytes;
    std::string installed = read_value(HKEY_CURRENT_USER, kSettingsKey, "Installed").text();
    // An uninstall entry as earlier versions wrote it, without
    // "InstallLocation", is this installation's.
    {
        HKEY entry;
        ASSERT_EQ(0, RegOpenKeyExA(HKEY_LOCAL_MACHINE, kUninstallEntry, 0, KEY_SET_VALUE, &entry));
        EXPECT_EQ(0, RegDeleteValueA(entry, "InstallLocation"));
        RegCloseKey(entry);
    }

    Outcome removal = remove_through_program_list(IDYES);

    ASSERT_EQ(2u, removal.notices.size());
    expect_question(removal.notices[0]);
    EXPECT_EQ(0, removal.exitCode);
    EXPECT_EQ(std::string(kRemoved) +
                  "\n\nThese installed files were changed since the installation, and were "
                  "kept:\n\n" + in_folder("Sample.scp") + "\n" + in_folder("main.dct") + "\n" +
                  in_folder("Feature.stp") +
                  "\n\nThese are not part of this installation of Veltranox 2003, and were "
                  "kept:\n\n" + foreignLink + "\n\nThe folder " + kFolder +
                  " was kept, as it holds files that were not installed with Veltranox.",
              removal.notices[1].text);
    expect_installed_files_gone(edited);
    EXPECT_EQ("Feature.stp\nMy Script.scp\nSample.scp\nmain.dct\n", listing(kFolder));
    expect_links_gone();
    EXPECT_TRUE(file_exists(foreignLink));
    EXPECT_FALSE(key_exists(HKEY_LOCAL_MACHINE, kAppPathsEntry));
    EXPECT_FALSE(key_exists(HKEY_LOCAL_MACHINE, kUninstallEntry));
    EXPECT_EQ(0u, count_of(uninstaller_list(), "Veltranox")) << uninstaller_list();
    EXPECT_FALSE(read_value(HKEY_LOCAL_MACHINE, kMachineKey, "Path").present);
    // What is not part of the installation stays.
    EXPECT_EQ("blank", read_value(HKEY_LOCAL_MACHINE, kMachineKey, "patch").text());
    EXPECT_EQ(zxcount, read_value(HKEY_CURRENT_USER, kSettingsKey, "zxcount").bytes);
    EXPECT_EQ(installed, read_value(HKEY_CURRENT_USER, kSettingsKey, "Installed").text());
    EXPECT_TRUE(file_exists(windows_directory() + "\\vmon03.exe"));
    EXPECT_TRUE(file_exists(windows_directory() + "\\vcluins1.exe"));
    remove_file(foreignLink);

    // A second removal: the program list no longer has the entry, and the
    // uninstaller started by hand finds nothing to do.
    std::string before = installation_state();
    Outcome again = remove_through_program_list(IDYES);
    EXPECT_TRUE(again.notices.empty());
    Outcome byHand = run_uninstaller(windows_directory() + "\\vcluins1.exe", IDYES);
    EXPECT_EQ(2, byHand.exitCode);
    ASSERT_EQ(1u, byHand.notices.size());
    EXPECT_EQ("Veltranox 2003 is not installed on this computer: no install folder is recorded "
              "for it.\n\nNothing was removed.",
              byHand.notices[0].text);
    EXPECT_EQ(before, installation_state());
}

TEST_F(Uninstall, NoOrARunningProgramChangeNothingAndWhatStaysInUseIsListed)
{
    install();
    ASSERT_FALSE(HasFailure());
    std::string installedState = installation_state();

    Outcome declined = remove_through_program_list(IDNO);
    ASSERT_EQ(1u, declined.notices.size());
    expect_question(declined.notices[0]);
    EXPECT_EQ(installedState, installation_state());

    // Only the hand-over's exact form spares the question: not the same
    // words inside the program's own path, not a handle that names no
    // other process (4294967295 is this process itself), and not a real
    // one (this test's own process, inherited) with more after its digits.
    // (A folder name that ends in a blank, "C:\Tools ", made as it stands.)
    const std::string odd = "C:\\Tools /after 12";
    ASSERT_TRUE(CreateDirectoryA("\\\\?\\C:\\Tools ", NULL));
    ASSERT_TRUE(CreateDirectoryA("\\\\?\\C:\\Tools \\after 12", NULL));
    ASSERT_TRUE(CopyFileA((windows_directory() + "\\vcluins1.exe").c_str(),
                          "\\\\?\\C:\\Tools \\after 12\\vcluins1.exe", FALSE));
    HANDLE inherited = NULL;
    ASSERT_TRUE(DuplicateHandle(GetCurrentProcess(), GetCurrentProcess(), GetCurrentProcess(),
                                &inherited, SYNCHRONIZE | PROCESS_QUERY_INFORMATION, TRUE, 0));
    const std::string withText = "\"" + windows_directory() + "\\vcluins1.exe\" /after " +
                                 std::to_string((UINT_PTR)inherited) + "x";
    for (const std::string& commandLine :
         {"\"" + odd + "\\vcluins1.exe\"", "\"" + odd + "\\vcluins1.exe\" /after 4294967295",
          "\"" + windows_directory() + "\\vcluins1.exe\" /after 4", withText}) {
        Outcome asked = run(commandLine, IDNO, 0, true);
        EXPECT_EQ(1, asked.exitCode) << commandLine;
        ASSERT_EQ(1u, asked.notices.size()) << commandLine;
        expect_question(asked.notices[0]);
        EXPECT_EQ(installedState, installation_state()) << commandLine;
    }
    CloseHandle(inherited);
    DeleteFileA("\\\\?\\C:\\Tools \\after 12\\vcluins1.exe");
    RemoveDirectoryA("\\\\?\\C:\\Tools \\after 12");
    RemoveDirectoryA("\\\\?\\C:\\Tools ");

    // The main program, started as the user would, blocks the removal
    // before anything is asked.
    HANDLE release = CreateEventA(NULL, TRUE, FALSE, "VeltranoxProbeRelease");
    HANDLE running = CreateEventA(NULL, TRUE, FALSE, "VeltranoxProbeRunning");
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION program;
    std::string commandLine = "\"" + in_folder("Veltranox.exe") + "\" --stay";
    ASSERT_TRUE(CreateProcessA(NULL, &commandLine[0], NULL, NULL, FALSE, 0, NULL, kFolder,
                               &startup, &program));
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(running, 20000));
    Outcome blocked = remove_through_program_list(IDYES);
    SetEvent(release);
    WaitForSingleObject(program.hProcess, 20000);
    CloseHandle(program.hThread);
    CloseHandle(program.hProcess);
    CloseHandle(running);
    CloseHandle(release);
    ASSERT_EQ(1u, blocked.notices.size());
    EXPECT_EQ("Veltranox is running. Please close it, then remove Veltranox 2003 again.\n\n"
              "Nothing was removed.",
              blocked.notices[0].text);
    EXPECT_EQ(installedState, installation_state());

    // A document held open by another program cannot go, nor an App Paths
    // entry that cannot be read; everything else does, and the closing
    // message names what stayed. An uninstall entry that a later
    // installation elsewhere made its own stays, and is no failure.
    ASSERT_TRUE(set_key_access(kAppPathsEntry, "D:P(A;;0x60000;;;WD)"));
    ASSERT_TRUE(make_folders("C:\\Elsewhere\\Veltranox"));
    set_string_value(HKEY_LOCAL_MACHINE, kUninstallEntry, "InstallLocation",
                     "C:\\Elsewhere\\Veltranox");
    std::string tips = in_folder("tips.txt");
    HANDLE held = CreateFileA(tips.c_str(), GENERIC_READ, 0, NULL, OPEN_EXISTING, 0, NULL);
    ASSERT_NE(INVALID_HANDLE_VALUE, held);
    Outcome partial = run_uninstaller(windows_directory() + "\\vcluins1.exe", IDYES);
    CloseHandle(held);
    EXPECT_TRUE(set_key_access(kAppPathsEntry, "D:(A;;KA;;;WD)"));
    EXPECT_EQ(3, partial.exitCode);
    ASSERT_EQ(2u, partial.notices.size());
    EXPECT_EQ("Veltranox 2003 was removed, except for these items, which could not be "
              "removed:\n\n" + tips + "\nHKEY_LOCAL_MACHINE\\" + kAppPathsEntry +
                  "\n\nYou can delete them yourself once no program uses them.",
              partial.notices[1].text);
    EXPECT_EQ("tips.txt\n", listing(kFolder));
    expect_links_gone();
    EXPECT_TRUE(key_exists(HKEY_LOCAL_MACHINE, kUninstallEntry));
    EXPECT_FALSE(read_value(HKEY_LOCAL_MACHINE, kMachineKey, "Path").present);
    remove_tree("C:\\Elsewhere");
}

TEST_F(Uninstall, RecordedFoldersThatAreNoInstallationRemoveNothing)
{
    install();
    ASSERT_FALSE(HasFailure());
    std::string windows = windows_directory();
    // A folder inside the Windows directory that looks like an installation.
    std::string planted = windows + "\\Temp\\Planted";
    ASSERT_TRUE(make_folders(planted));
    ASSERT_TRUE(CopyFileA(in_folder("Veltranox.exe").c_str(), (planted + "\\Veltranox.exe").c_str(),
                          FALSE));
    ASSERT_TRUE(CopyFileA(in_folder("license.txt").c_str(), (planted + "\\license.txt").c_str(),
                          FALSE));
    std::string plantedListing = listing(planted);
    // Another program's folder, with files of the installed names.
    const std::string other = "C:\\Other";
    ASSERT_TRUE(make_folders(other));
    for (const char* name : {"Veltranox.exe", "license.txt", "tips.txt"})
        ASSERT_TRUE(write_file(other + "\\" + name, std::string("another program's ") + name));
    std::string otherListing = listing(other);

    struct Case {
        std::string path;
        const char* reason;
    };
    const Case cases[] = {
        {"", "is empty"},
        {"C:\\", "is the root of a drive"},
        {"C:\\\\\\", "is the root of a drive"},
        {std::string(kFolder) + "\\..\\..", "is the root of a drive"},
        {"C:", "is not a full path on a drive"},
        {"Veltranox", "is not a full path on a drive"},
        {"\\\\server\\share\\Veltranox", "is not a full path on a drive"},
        {windows, "is the Windows folder or lies inside it"},
        {windows + "\\", "is the Windows folder or lies inside it"},
        {windows + "\\system32", "is the Windows folder or lies inside it"},
        {planted, "is the Windows folder or lies inside it"},
        {"C:\\Program Files (x86)", "No installation of Veltranox 2003 was found in C:\\Program Files (x86)"},
        {other, "No installation of Veltranox 2003 was found in C:\\Other"},
        {std::string(kFolder) + "\\Veltranox.exe", "does not exist"},
        {"C:\\Nowhere\\Veltranox", "does not exist"},
        {"C:\\" + std::string(600, 'v'), "is too long"},
    };
    std::string uninstaller = windows + "\\vcluins1.exe";
    std::string recorded = read_value(HKEY_LOCAL_MACHINE, kMachineKey, "Path").text();
    for (const Case& c : cases) {
        set_string_value(HKEY_LOCAL_MACHINE, kMachineKey, "Path", c.path);
        std::string before = installation_state();
        Outcome refused = run_uninstaller(uninstaller, IDYES);
        EXPECT_EQ(2, refused.exitCode) << c.path;
        ASSERT_EQ(1u, refused.notices.size()) << c.path;
        EXPECT_NE(std::string::npos, refused.notices[0].text.find(c.reason))
            << c.path << ": " << refused.notices[0].text;
        EXPECT_NE(std::string::npos, refused.notices[0].text.find("Nothing was removed."));
        EXPECT_EQ(before, installation_state()) << c.path;
    }
    EXPECT_EQ(plantedListing, listing(planted));
    EXPECT_EQ(otherListing, listing(other));
    EXPECT_TRUE(file_exists(other + "\\tips.txt"));

    // A "Path" of another type is read as text like the setup program reads it.
    set_raw_value(HKEY_LOCAL_MACHINE, kMachineKey, "Path", REG_DWORD, std::string("\x43\0\0\0", 4));
    Outcome dword = run_uninstaller(uninstaller, IDYES);
    ASSERT_EQ(1u, dword.notices.size());
    EXPECT_NE(std::string::npos, dword.notices[0].text.find("is not a full path on a drive"));

    // No "Path" anywhere, and an uninstall entry that names no folder.
    for (const char* key : {kMachineKey, kUninstallEntry}) {
        HKEY opened;
        ASSERT_EQ(0, RegOpenKeyExA(HKEY_LOCAL_MACHINE, key, 0, KEY_SET_VALUE, &opened));
        RegDeleteValueA(opened, key == kMachineKey ? "Path" : "InstallLocation");
        RegCloseKey(opened);
    }
    std::string before = installation_state();
    Outcome missing = run_uninstaller(uninstaller, IDYES);
    ASSERT_EQ(1u, missing.notices.size());
    EXPECT_NE(std::string::npos, missing.notices[0].text.find("is not installed"));
    EXPECT_EQ(before, installation_state());

    // A copy started from a downloads folder, beside files of installed
    // names: with no record, it is no installation, and nothing there goes.
    const std::string downloads = "C:\\Downloads";
    ASSERT_TRUE(make_folders(downloads));
    ASSERT_TRUE(CopyFileA(uninstaller.c_str(), (downloads + "\\vcluins1.exe").c_str(), FALSE));
    for (const char* name : {"Veltranox.exe", "license.txt", "More.rtf"})
        ASSERT_TRUE(write_file(downloads + "\\" + name, std::string("downloaded ") + name));
    std::string downloadsListing = listing(downloads);
    Outcome copy = run_uninstaller(downloads + "\\vcluins1.exe", IDYES);
    EXPECT_EQ(2, copy.exitCode);
    ASSERT_EQ(1u, copy.notices.size());
    EXPECT_NE(std::string::npos,
              copy.notices[0].text.find("No installation of Veltranox 2003 was found in " +
                                        downloads))
        << copy.notices[0].text;
    EXPECT_EQ(downloadsListing, listing(downloads));
    EXPECT_EQ(before, installation_state());
    remove_tree(downloads);

    // An uninstall entry whose "InstallLocation" names the user's profile,
    // or an empty folder of the user's, while its "DisplayIcon" still
    // points at the installation: neither folder is touched, and the
    // entry, the installation's, stays.
    const std::string empty = "C:\\Empty";
    ASSERT_TRUE(make_folders(empty));
    for (const std::string& location : {shell_folder(CSIDL_PROFILE), empty}) {
        set_string_value(HKEY_LOCAL_MACHINE, kUninstallEntry, "InstallLocation", location);
        std::string profileListing = listing(location);
        Outcome wrong = run_uninstaller(uninstaller, IDYES);
        EXPECT_EQ(2, wrong.exitCode) << location;
        ASSERT_EQ(1u, wrong.notices.size()) << location;
        EXPECT_NE(std::string::npos, wrong.notices[0].text.find("No installation of Veltranox "
                                                                 "2003 was found in " + location))
            << wrong.notices[0].text;
        EXPECT_EQ(profileListing, listing(location));
        EXPECT_EQ(before, installation_state()) << location;
    }
    EXPECT_TRUE(folder_exists(empty));
    remove_tree(empty);

    // Installed by someone who may write the machine key; this user may not.
    set_string_value(HKEY_LOCAL_MACHINE, kMachineKey, "Path", recorded);
    before = installation_state();
    {
        ReadOnlyKey readOnly(HKEY_LOCAL_MACHINE, kMachineKey);
        ASSERT_EQ(0, readOnly.status());
        Outcome otherUser = run_uninstaller(uninstaller, IDYES);
        EXPECT_EQ(2, otherUser.exitCode);
        ASSERT_EQ(1u, otherUser.notices.size());
        EXPECT_NE(std::string::npos, otherUser.notices[0].text.find("for all users"));
    }
    EXPECT_EQ(before, installation_state());

    // At last a removal, with an uninstall entry whose "InstallLocation"
    // cannot be read (longer than any path): whose entry it is stays open,
    // so it stays, and is listed as not removed.
    set_string_value(HKEY_LOCAL_MACHINE, kUninstallEntry, "InstallLocation",
                     "C:\\" + std::string(600, 'v'));
    Outcome removal = run_uninstaller(uninstaller, IDYES);
    EXPECT_EQ(3, removal.exitCode);
    ASSERT_EQ(2u, removal.notices.size());
    EXPECT_NE(std::string::npos, removal.notices[1].text.find(
                                     "could not be removed:\n\nHKEY_LOCAL_MACHINE\\" +
                                     std::string(kUninstallEntry) + "\n"))
        << removal.notices[1].text;
    EXPECT_TRUE(key_exists(HKEY_LOCAL_MACHINE, kUninstallEntry));
    expect_installed_files_gone();
    remove_tree(planted);
    remove_tree(other);
}

TEST_F(Uninstall, UserWithoutMachineRightsRemovesAFolderHoldingTheUninstallerItself)
{
    {
        // A user who may not write HKEY_LOCAL_MACHINE: "Path" goes to the
        // settings key, and with no uninstall entry the uninstaller is put
        // into the install folder.
        ReadOnlyKey machine(HKEY_LOCAL_MACHINE, kMachineKey);
        ReadOnlyKey appPaths(HKEY_LOCAL_MACHINE, kAppPaths);
        ReadOnlyKey uninstall(HKEY_LOCAL_MACHINE, kUninstall);
        ASSERT_EQ(0, machine.status());
        ASSERT_EQ(0, appPaths.status());
        ASSERT_EQ(0, uninstall.status());
        install();
        ASSERT_FALSE(HasFailure());
        EXPECT_EQ(kFolder, read_value(HKEY_CURRENT_USER, kSettingsKey, "Path").text());
        ASSERT_TRUE(file_exists(in_folder("vcluins1.exe")));
        EXPECT_FALSE(key_exists(HKEY_LOCAL_MACHINE, kUninstallEntry));

        // Started from the install folder, it hands the work to a copy of
        // itself that can delete the original.
        Outcome removal = run_uninstaller(in_folder("vcluins1.exe"), IDYES, 2);
        EXPECT_EQ(0, removal.exitCode);
        ASSERT_EQ(2u, removal.notices.size());
        expect_question(removal.notices[0]);
        EXPECT_EQ(kRemoved, removal.notices[1].text);
        EXPECT_NE(removal.notices[0].processId, removal.notices[1].processId);
    }
    EXPECT_TRUE(robot::wait_until([] { return !folder_exists(kFolder); }, 60000))
        << listing(kFolder);
    // The bench's processes are elevated: the copy ran from a folder of its
    // own in the temp folder, and both go at the next restart, the copy
    // first.
    std::string pending = read_value(HKEY_LOCAL_MACHINE, kSessionManager,
                                     "PendingFileRenameOperations").bytes;
    // Pairs of names, each ended by a zero; one more zero ends the list.
    if (!pending.empty())
        pending.pop_back();
    std::vector<std::string> names;
    for (size_t at = 0; at < pending.size(); at = pending.find('\0', at) + 1)
        names.push_back(pending.c_str() + at);
    ASSERT_LE(4u, names.size()) << pending;
    const std::string copy = names[names.size() - 4], folder = names[names.size() - 2];
    EXPECT_EQ("\\??\\" + temp_folder() + "vlx", folder.substr(0, folder.rfind('\\') + 4));
    EXPECT_EQ(folder + "\\", copy.substr(0, folder.size() + 1)) << copy;
    EXPECT_EQ("", names[names.size() - 3] + names[names.size() - 1]);
    expect_links_gone();
    EXPECT_FALSE(read_value(HKEY_CURRENT_USER, kSettingsKey, "Path").present);
    EXPECT_EQ(1u, read_value(HKEY_CURRENT_USER, kSettingsKey, "nolmaccess").bytes[0]);
}

TEST_F(Uninstall, UninstallerThatCannotCopyItselfLeavesOnlyItsOwnFileAndSaysSo)
{
    ReadOnlyKey uninstall(HKEY_LOCAL_MACHINE, kUninstall);
    ASSERT_EQ(0, uninstall.status());
    install();
    ASSERT_FALSE(HasFailure());
    ASSERT_TRUE(file_exists(in_folder("vcluins1.exe")));

    // No temp folder to put the copy in: the removal runs in place.
    char temp[MAX_PATH], tmp[MAX_PATH];
    GetEnvironmentVariableA("TEMP", temp, MAX_PATH);
    GetEnvironmentVariableA("TMP", tmp, MAX_PATH);
    SetEnvironmentVariableA("TEMP", "C:\\No Such Temp");
    SetEnvironmentVariableA("TMP", "C:\\No Such Temp");
    Outcome removal = run_uninstaller(in_folder("vcluins1.exe"), IDYES);
    SetEnvironmentVariableA("TEMP", temp);
    SetEnvironmentVariableA("TMP", tmp);

    EXPECT_EQ(0, removal.exitCode);
    ASSERT_EQ(2u, removal.notices.size());
    EXPECT_EQ(std::string(kRemoved) +
                  "\n\nThe uninstaller cannot delete its own file while it runs. You can "
                  "delete " + in_folder("vcluins1.exe") + " yourself now, and then the folder " +
                  kFolder + " if nothing else is left in it.",
              removal.notices[1].text);
    EXPECT_EQ("vcluins1.exe\n", listing(kFolder));
    expect_links_gone();
    EXPECT_FALSE(read_value(HKEY_LOCAL_MACHINE, kMachineKey, "Path").present);
}

// An installed name that another program made a link to a file outside
// the folder: the setup program does not write through it, and the
// uninstaller deletes neither the link nor what it leads to, even when that
// holds the very bytes that were installed; both name it.
TEST_F(Uninstall, LinkOutOfTheFolderIsNeitherWrittenThroughNorDeleted)
{
    install();
    ASSERT_FALSE(HasFailure());
    const std::string link = in_folder("Play.stp"), outside = "C:\\Outside\\Play.stp";
    const std::string installed = read_file(link);
    ASSERT_TRUE(make_folders("C:\\Outside"));
    ASSERT_TRUE(write_file(outside, "someone else's setup"));
    SetFileAttributesA(link.c_str(), FILE_ATTRIBUTE_NORMAL);
    ASSERT_TRUE(remove_file(link));
    ASSERT_TRUE(make_file_symlink(link, outside));
    ASSERT_EQ("someone else's setup", read_file(link)) << "the link does not lead there";

    std::vector<robot::Notice> notices;
    install(kFolder, &notices);
    ASSERT_EQ(1u, notices.size());
    EXPECT_EQ("ERROR 39", notices[0].caption);
    EXPECT_EQ(link + " is a link to a file elsewhere and was left as it is.", notices[0].text);
    EXPECT_EQ("someone else's setup", read_file(outside));

    ASSERT_TRUE(write_file(outside, installed));
    Outcome removal = remove_through_program_list(IDYES);
    EXPECT_EQ(0, removal.exitCode);
    ASSERT_EQ(2u, removal.notices.size());
    EXPECT_EQ(std::string(kRemoved) +
                  "\n\nThese are not part of this installation of Veltranox 2003, and were "
                  "kept:\n\n" + link + "\n\nThe folder " + kFolder +
                  " was kept, as it holds files that were not installed with Veltranox.",
              removal.notices[1].text);
    EXPECT_EQ(installed, read_file(outside));
    EXPECT_EQ("Play.stp\n", listing(kFolder));
    expect_links_gone();
    EXPECT_TRUE(remove_file_symlink(link));
    remove_tree("C:\\Outside");
}

// Another program of the user renames a program of its own over the
// uninstaller's copy, again and again, from the moment the copy's name
// appears until the removal has ended. Its program never runs: the copy is
// held from its check until it starts, or, swapped before the check, is
// not started, and the removal runs in place.
TEST_F(Uninstall, CopySwappedByAnotherProgramIsNeverStarted)
{
    ReadOnlyKey uninstall(HKEY_LOCAL_MACHINE, kUninstall);
    ASSERT_EQ(0, uninstall.status());
    install();
    ASSERT_FALSE(HasFailure());
    const std::string temp = temp_folder();
    const std::set<std::string> before = names_in(temp);
    const std::string impostor = windows_directory() + "\\system32\\hostname.exe";
    const std::string swap = "C:\\swap.tmp";
    std::atomic<bool> stop(false);
    int swapped = 0;
    std::thread racer([&] {
        CopyFileA(impostor.c_str(), swap.c_str(), FALSE);
        while (!stop)
            for (const std::string& name : names_in(temp)) {
                std::string path = temp + name;
                if (before.count(name) != 0)
                    continue;
                // The copy, or the copy inside its own folder.
                if (name.compare(0, 3, "vlx") == 0) {
                    std::set<std::string> inside = names_in(path);
                    if (inside.empty())
                        continue;
                    path += "\\" + *inside.begin();
                }
                if (MoveFileExA(swap.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING)) {
                    ++swapped;
                    CopyFileA(impostor.c_str(), swap.c_str(), FALSE);
                }
            }
    });
    Outcome removal = run_uninstaller(in_folder("vcluins1.exe"), IDYES, 2);
    stop = true;
    racer.join();
    // Started instead of the copy, the other program would have ended the
    // run after the question, with everything still installed.
    ASSERT_EQ(2u, removal.notices.size()) << swapped << " swaps";
    EXPECT_EQ(0, removal.exitCode);
    if (removal.notices[0].processId == removal.notices[1].processId)
        EXPECT_EQ("vcluins1.exe\n", listing(kFolder)) << removal.notices[1].text;
    else
        EXPECT_TRUE(robot::wait_until([] { return !folder_exists(kFolder); }, 5000))
            << listing(kFolder);
    DeleteFileA(swap.c_str());
}

// Started from the install folder, the uninstaller hands over to its copy,
// which starts in the temp folder: DLLs planted under system libraries'
// names beside the uninstaller or in the temp folder, looked up there first
// as on Windows, are loaded by neither.
TEST_F(Uninstall, PlantedLibrariesBesideItOrItsCopyAreNotLoaded)
{
    ReadOnlyKey uninstall(HKEY_LOCAL_MACHINE, kUninstall);
    ASSERT_EQ(0, uninstall.status());
    install();
    ASSERT_FALSE(HasFailure());
    ASSERT_TRUE(file_exists(in_folder("vcluins1.exe")));
    char temp[MAX_PATH];
    DWORD length = GetTempPathA(MAX_PATH, temp);
    ASSERT_TRUE(length != 0 && length < MAX_PATH);
    const std::string tempFolder(temp, length - 1);
    ASSERT_TRUE(planted::plant_libraries(kFolder));
    ASSERT_TRUE(planted::plant_libraries(tempFolder));

    Outcome removal;
    {
        planted::NativeFirst nativeFirst;
        ASSERT_TRUE(nativeFirst.set());
        removal = run_uninstaller(in_folder("vcluins1.exe"), IDYES, 2);
    }
    EXPECT_EQ("", planted::loaded_in(kFolder));
    EXPECT_EQ("", planted::loaded_in(tempFolder));
    ASSERT_EQ(2u, removal.notices.size());
    expect_question(removal.notices[0]);
    EXPECT_NE(removal.notices[0].processId, removal.notices[1].processId)
        << "the copy in the temp folder did not take over";
    EXPECT_EQ(std::string(kRemoved) + "\n\nThe folder " + kFolder +
                  " was kept, as it holds files that were not installed with Veltranox.",
              removal.notices[1].text);
    EXPECT_TRUE(robot::wait_until([] { return !file_exists(in_folder("vcluins1.exe")); }, 60000))
        << "the copy did not remove the uninstaller it took over from";
    expect_installed_files_gone();
    expect_links_gone();
}

// A Japanese system (code page 932) and an installation in "C:\ソフト\表",
// whose last character, like "ソ", ends in the backslash byte: it is
// removed, folder and all, and nothing beside it is touched, not even the
// files that a path cut at that byte would name.
TEST_F(Uninstall, DoubleByteFolderIsRemovedAndNothingBesideIt)
{
    ASSERT_EQ(932u, GetACP()) << "the bench did not start the test with LANG=ja_JP.UTF-8";
    // "C:\ソフト": ソ 0x83 0x5C, フ 0x83 0x74, ト 0x83 0x67; then 表 0x95 0x5C.
    const std::string parent = "C:\\\x83\x5c\x83\x74\x83\x67";
    const std::string folder = parent + "\\\x95\x5c";
    ASSERT_TRUE(make_folders(parent));
    // "表Veltranox.exe" and "表license.txt" beside the folder, and a file of
    // the user's.
    const std::string beside[] = {folder + "Veltranox.exe", folder + "license.txt",
                                  parent + "\\Notes.txt"};
    for (const std::string& path : beside) {
        HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, NULL, CREATE_NEW, 0, NULL);
        ASSERT_NE(INVALID_HANDLE_VALUE, file) << path;
        CloseHandle(file);
    }
    const std::string besideListing = listing(parent);
    set_string_value(HKEY_LOCAL_MACHINE, kMachineKey, "Path", folder);
    install(folder);
    ASSERT_FALSE(HasFailure());
    EXPECT_EQ(folder, read_value(HKEY_LOCAL_MACHINE, kMachineKey, "Path").text());
    EXPECT_EQ(folder + "\\Veltranox.exe", read_value(HKEY_LOCAL_MACHINE, kAppPathsEntry, NULL).text());
    for (const std::string& link : link_paths())
        ASSERT_TRUE(file_exists(link)) << link;

    Outcome removal = remove_through_program_list(IDYES);
    ASSERT_EQ(2u, removal.notices.size());
    EXPECT_EQ("Remove Veltranox 2003 and all of its components from " + folder +
                  "?\n\nFiles that you made or changed yourself in this folder are kept.",
              removal.notices[0].text);
    EXPECT_EQ(kRemoved, removal.notices[1].text);
    EXPECT_FALSE(folder_exists(folder)) << listing(folder);
    EXPECT_EQ(besideListing, listing(parent)) << "something beside the folder was touched";
    expect_links_gone();
    EXPECT_FALSE(key_exists(HKEY_LOCAL_MACHINE, kAppPathsEntry));
    EXPECT_FALSE(key_exists(HKEY_LOCAL_MACHINE, kUninstallEntry));
    EXPECT_FALSE(read_value(HKEY_LOCAL_MACHINE, kMachineKey, "Path").present);
}

}  // namespace
