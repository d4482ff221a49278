// App Paths and uninstall registration against Wine's registry, and where
// the sequence then puts the uninstaller.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "registration/program_registration.h"
#include "setup/sequence.h"
#include "setup/state.h"
#include "tests/support/benchutil.h"
#include "tests/support/notices.h"
#include "tests/support/registry.h"

namespace {

const char kAppPaths[] = "Software\\Microsoft\\Windows\\CurrentVersion\\App Paths";
const char kProgramAppPath[] =
    "Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\Veltranox.exe";
const char kUninstall[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
const char kUninstallEntry[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Veltranox";
const char kDisplayName[] = "Veltranox 2003   (Remove Only)";

void expect_string(HKEY root, const char* path, const char* name, const std::string& text)
{
    StoredValue value = read_value(root, path, name);
    ASSERT_TRUE(value.present) << path << " \"" << (name ? name : "(default)") << "\" missing";
    EXPECT_EQ(DWORD(REG_SZ), value.type) << path << " " << (name ? name : "(default)");
    // Stored with its terminating zero and nothing after it.
    EXPECT_EQ(text + '\0', value.bytes) << path << " " << (name ? name : "(default)");
}

DWORD stored_dword(HKEY root, const char* path, const char* name)
{
    StoredValue value = read_value(root, path, name);
    EXPECT_TRUE(value.present && value.type == REG_DWORD && value.bytes.size() == 4)
        << path << " \"" << name << "\" is no DWORD";
    DWORD number = 0;
    if (value.bytes.size() == 4)
        memcpy(&number, value.bytes.data(), 4);
    return number;
}

class ProgramRegistration : public testing::Test {
protected:
    void SetUp() override
    {
        delete_key_tree(HKEY_LOCAL_MACHINE, kProgramAppPath);
        delete_key_tree(HKEY_LOCAL_MACHINE, kUninstallEntry);
        delete_key_tree(HKEY_LOCAL_MACHINE, kMachineKey);
        delete_key_tree(HKEY_CURRENT_USER, "Software\\Tervick");
        g_setup = SetupState();
        strcpy(g_setup.settingsKeyPath, kSettingsKey);
        use_install_folder("C:\\Program Files (x86)\\Veltranox");
        strcpy(g_setup.windowsDirectory, windows_directory().c_str());
    }

    void use_install_folder(const std::string& folder)
    {
        strcpy(g_setup.installFolder, folder.c_str());
        strcpy(g_setup.mainProgramPath, (folder + "\\Veltranox.exe").c_str());
    }
};

TEST_F(ProgramRegistration, WritesAppPathsMachinePathAndUninstallEntry)
{
    NoticeLog notices;
    app_paths_registration();
    EXPECT_NE(0, uninstall_registration());

    expect_string(HKEY_LOCAL_MACHINE, kProgramAppPath, NULL,
                  "C:\\Program Files (x86)\\Veltranox\\Veltranox.exe");
    expect_string(HKEY_LOCAL_MACHINE, kProgramAppPath, "Path",
                  "C:\\Program Files (x86)\\Veltranox");
    expect_string(HKEY_LOCAL_MACHINE, kMachineKey, "Path", "C:\\Program Files (x86)\\Veltranox");
    expect_string(HKEY_LOCAL_MACHINE, kUninstallEntry, "DisplayName", kDisplayName);
    expect_string(HKEY_LOCAL_MACHINE, kUninstallEntry, "UninstallString",
                  windows_directory() + "\\vcluins1.exe");
    // What the list of installed programs shows beside the name.
    expect_string(HKEY_LOCAL_MACHINE, kUninstallEntry, "Publisher", "Tervick Software");
    expect_string(HKEY_LOCAL_MACHINE, kUninstallEntry, "DisplayVersion", "1.0.0.1");
    expect_string(HKEY_LOCAL_MACHINE, kUninstallEntry, "DisplayIcon",
                  "C:\\Program Files (x86)\\Veltranox\\Veltranox.exe");
    expect_string(HKEY_LOCAL_MACHINE, kUninstallEntry, "InstallLocation",
                  "C:\\Program Files (x86)\\Veltranox");
    // The release payload is about 2.3 MB expanded (the end-to-end run checks
    // the figure against the installed files).
    DWORD size = stored_dword(HKEY_LOCAL_MACHINE, kUninstallEntry, "EstimatedSize");
    EXPECT_GT(size, 1000u);
    EXPECT_LT(size, 20000u);
    EXPECT_EQ(1u, stored_dword(HKEY_LOCAL_MACHINE, kUninstallEntry, "NoModify"));
    EXPECT_EQ(1u, stored_dword(HKEY_LOCAL_MACHINE, kUninstallEntry, "NoRepair"));
    // The machine key is the maker's key itself; nothing goes to the user.
    EXPECT_EQ("", subkey_names(HKEY_LOCAL_MACHINE, kMachineKey));
    EXPECT_FALSE(read_value(HKEY_CURRENT_USER, kSettingsKey, "Path").present);
    EXPECT_TRUE(notices.stop().empty());
}

TEST_F(ProgramRegistration, SecondRunOverwritesTheSameEntries)
{
    use_install_folder("D:\\Old\\Veltranox");
    app_paths_registration();
    ASSERT_NE(0, uninstall_registration());
    use_install_folder("C:\\Apps\\Veltranox");
    strcpy(g_setup.windowsDirectory, "C:\\WINNT");
    app_paths_registration();
    ASSERT_NE(0, uninstall_registration());

    expect_string(HKEY_LOCAL_MACHINE, kProgramAppPath, NULL, "C:\\Apps\\Veltranox\\Veltranox.exe");
    expect_string(HKEY_LOCAL_MACHINE, kProgramAppPath, "Path", "C:\\Apps\\Veltranox");
    expect_string(HKEY_LOCAL_MACHINE, kMachineKey, "Path", "C:\\Apps\\Veltranox");
    expect_string(HKEY_LOCAL_MACHINE, kUninstallEntry, "UninstallString",
                  "C:\\WINNT\\vcluins1.exe");
    expect_string(HKEY_LOCAL_MACHINE, kUninstallEntry, "DisplayIcon",
                  "C:\\Apps\\Veltranox\\Veltranox.exe");
    expect_string(HKEY_LOCAL_MACHINE, kUninstallEntry, "InstallLocation", "C:\\Apps\\Veltranox");

    // Wine's own list of installed programs shows the entry once.
    std::string list = uninstaller_list();
    EXPECT_EQ(1u, count_of(list, kDisplayName)) << list;
    EXPECT_EQ(1u, count_of(subkey_names(HKEY_LOCAL_MACHINE, kUninstall) + "|", "Veltranox|"));
}

TEST_F(ProgramRegistration, MachineKeyThatCannotBeOpenedIsReportedWithCode10)
{
    ReadOnlyKey readOnly(HKEY_LOCAL_MACHINE, kMachineKey);
    ASSERT_EQ(0, readOnly.status());
    NoticeLog notices;
    app_paths_registration();
    Notices shown = notices.stop();

    ASSERT_EQ(1u, shown.size());
    EXPECT_EQ("ERROR 10", shown[0].caption);
    EXPECT_EQ(system_text(ERROR_ACCESS_DENIED), shown[0].text);
    EXPECT_FALSE(read_value(HKEY_LOCAL_MACHINE, kMachineKey, "Path").present);
    // App Paths came first and is complete.
    expect_string(HKEY_LOCAL_MACHINE, kProgramAppPath, "Path",
                  "C:\\Program Files (x86)\\Veltranox");
}

TEST_F(ProgramRegistration, NolmaccessSendsPathToSettingsKeyWithoutNotice)
{
    ReadOnlyKey readOnly(HKEY_LOCAL_MACHINE, kMachineKey);
    ASSERT_EQ(0, readOnly.status());
    g_setup.nolmaccess = 1;
    NoticeLog notices;
    app_paths_registration();

    EXPECT_TRUE(notices.stop().empty());
    expect_string(HKEY_CURRENT_USER, kSettingsKey, "Path", "C:\\Program Files (x86)\\Veltranox");
    EXPECT_FALSE(read_value(HKEY_LOCAL_MACHINE, kMachineKey, "Path").present);
}

TEST_F(ProgramRegistration, UnwritableAppPathsKeyIsSilentAndMachinePathStillWritten)
{
    ReadOnlyKey readOnly(HKEY_LOCAL_MACHINE, kAppPaths);
    ASSERT_EQ(0, readOnly.status());
    NoticeLog notices;
    app_paths_registration();

    EXPECT_TRUE(notices.stop().empty());
    EXPECT_FALSE(key_exists(HKEY_LOCAL_MACHINE, kProgramAppPath));
    expect_string(HKEY_LOCAL_MACHINE, kMachineKey, "Path", "C:\\Program Files (x86)\\Veltranox");
}

TEST_F(ProgramRegistration, UninstallRegistrationFailsWhenEitherKeyCannotBeOpened)
{
    {
        ReadOnlyKey readOnly(HKEY_LOCAL_MACHINE, kUninstall);
        ASSERT_EQ(0, readOnly.status());
        EXPECT_EQ(0, uninstall_registration());
        EXPECT_FALSE(key_exists(HKEY_LOCAL_MACHINE, kUninstallEntry));
    }
    {
        ReadOnlyKey readOnly(HKEY_LOCAL_MACHINE, kUninstallEntry);
        ASSERT_EQ(0, readOnly.status());
        EXPECT_EQ(0, uninstall_registration());
        EXPECT_FALSE(read_value(HKEY_LOCAL_MACHINE, kUninstallEntry, "DisplayName").present);
    }
}

TEST_F(ProgramRegistration, UninstallStringFollowsTheWindowsDirectoryAsHeld)
{
    g_setup.windowsDirectory[0] = '\0';
    ASSERT_NE(0, uninstall_registration());
    expect_string(HKEY_LOCAL_MACHINE, kUninstallEntry, "UninstallString", "vcluins1.exe");

    // A drive root is held without its backslash: exactly one separator.
    strcpy(g_setup.windowsDirectory, "C:");
    ASSERT_NE(0, uninstall_registration());
    expect_string(HKEY_LOCAL_MACHINE, kUninstallEntry, "UninstallString", "C:\\vcluins1.exe");
}

TEST_F(ProgramRegistration, UninstallerPathThatDoesNotFitFailsAndWritesNothing)
{
    // 507 characters: with "\\vcluins1.exe" and the terminator one byte too many.
    std::string folder = "C:\\" + std::string(504, 'w');
    strcpy(g_setup.windowsDirectory, folder.c_str());
    EXPECT_EQ(0, uninstall_registration());
    EXPECT_FALSE(key_exists(HKEY_LOCAL_MACHINE, kUninstallEntry));

    // An entry of an earlier run keeps its working command.
    strcpy(g_setup.windowsDirectory, "C:\\WINNT");
    ASSERT_NE(0, uninstall_registration());
    strcpy(g_setup.windowsDirectory, folder.c_str());
    EXPECT_EQ(0, uninstall_registration());
    expect_string(HKEY_LOCAL_MACHINE, kUninstallEntry, "UninstallString",
                  "C:\\WINNT\\vcluins1.exe");

    // One character less fits exactly.
    folder.pop_back();
    strcpy(g_setup.windowsDirectory, folder.c_str());
    EXPECT_NE(0, uninstall_registration());
    expect_string(HKEY_LOCAL_MACHINE, kUninstallEntry, "UninstallString",
                  folder + "\\vcluins1.exe");
}

// The sequence's registration step: the uninstaller is written where the
// uninstall entry points, or into the install folder when the entry could
// not be written.
class RegisterProgram : public ProgramRegistration {
protected:
    void SetUp() override
    {
        ProgramRegistration::SetUp();
        ASSERT_TRUE(make_folders("C:\\regtest\\windows"));
        ASSERT_TRUE(make_folders("C:\\regtest\\Veltranox"));
        use_install_folder("C:\\regtest\\Veltranox");
        strcpy(g_setup.windowsDirectory, "C:\\regtest\\windows");
        GetTempPathA(kPathSize, g_setup.tempFolder);
        ASSERT_TRUE(remove_file(kInWindows));
        ASSERT_TRUE(remove_file(kInInstallFolder));
        expected_ = stand_in_uninstaller();
        ASSERT_FALSE(expected_.empty());
    }

    // The uncompressed original of the test's resource 119.
    static std::string stand_in_uninstaller()
    {
        HRSRC info = FindResourceA(NULL, MAKEINTRESOURCEA(kStandInResource), "FILE");
        if (info == NULL)
            return std::string();
        return std::string((const char*)LockResource(LoadResource(NULL, info)),
                           SizeofResource(NULL, info));
    }

    enum { kStandInResource = 1119 };
    static constexpr const char* kInWindows = "C:\\regtest\\windows\\vcluins1.exe";
    static constexpr const char* kInInstallFolder = "C:\\regtest\\Veltranox\\vcluins1.exe";
    std::string expected_;
};

TEST_F(RegisterProgram, UninstallerGoesToTheWindowsDirectoryTheEntryNames)
{
    NoticeLog notices;
    register_program();
    EXPECT_TRUE(notices.stop().empty());

    EXPECT_EQ(expected_, read_file(kInWindows));
    EXPECT_FALSE(file_exists(kInInstallFolder));
    expect_string(HKEY_LOCAL_MACHINE, kUninstallEntry, "UninstallString", kInWindows);
}

TEST_F(RegisterProgram, UnwritableUninstallEntryPutsUninstallerInInstallFolder)
{
    // An entry left by an earlier run that this user may not change.
    set_string_value(HKEY_LOCAL_MACHINE, kUninstallEntry, "UninstallString", kInWindows);
    ReadOnlyKey readOnly(HKEY_LOCAL_MACHINE, kUninstallEntry);
    ASSERT_EQ(0, readOnly.status());
    NoticeLog notices;
    register_program();
    EXPECT_TRUE(notices.stop().empty());

    EXPECT_EQ(expected_, read_file(kInInstallFolder));
    EXPECT_FALSE(file_exists(kInWindows));
    // The entry still names the Windows directory.
    expect_string(HKEY_LOCAL_MACHINE, kUninstallEntry, "UninstallString", kInWindows);
}

TEST_F(RegisterProgram, UninstallerPathThatDoesNotFitPutsUninstallerInInstallFolder)
{
    strcpy(g_setup.windowsDirectory, ("C:\\" + std::string(504, 'w')).c_str());
    NoticeLog notices;
    register_program();
    EXPECT_TRUE(notices.stop().empty());

    EXPECT_EQ(expected_, read_file(kInInstallFolder));
    EXPECT_FALSE(read_value(HKEY_LOCAL_MACHINE, kUninstallEntry, "UninstallString").present);
}

}  // namespace
