// Shortcut creation against Wine's shell: which links appear where, with
// the Quick Launch folder taken from MapGroups or the local application
// data folder. The links' contents are checked by lnkinfo afterwards
// (check_links.sh), from copies this test leaves in LINK_OUTPUT.
#include <windows.h>
#include <objbase.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <string>

#include "registration/shortcuts.h"
#include "setup/state.h"
#include "tests/support/notices.h"
#include "tests/support/registry.h"

namespace {

const char kLinkName[] = "\\Veltranox 2003.lnk";
const char kMapGroups[] = "Software\\Microsoft\\Windows\\CurrentVersion\\GrpConv\\MapGroups";
const char kUserShellFolders[] =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders";
const char kQuickLaunchBelowAppData[] = "\\Microsoft\\Internet Explorer\\Quick Launch";
const char kInstallFolder[] = "C:\\Program Files (x86)\\Veltranox";

class Shortcuts : public testing::Test {
protected:
    void SetUp() override
    {
        g_setup = SetupState();
        strcpy(g_setup.installFolder, kInstallFolder);
        strcpy(g_setup.mainProgramPath, (std::string(kInstallFolder) + "\\Veltranox.exe").c_str());
        // A real main program, so the shell has a file to point at.
        ASSERT_TRUE(make_folders(kInstallFolder));
        char self[MAX_PATH];
        GetModuleFileNameA(NULL, self, MAX_PATH);
        CopyFileA(self, g_setup.mainProgramPath, FALSE);

        startMenu_ = shell_folder(CSIDL_STARTMENU) + kLinkName;
        commonStartMenu_ = shell_folder(CSIDL_COMMON_STARTMENU) + kLinkName;
        desktop_ = shell_folder(CSIDL_DESKTOPDIRECTORY) + kLinkName;
        commonDesktop_ = shell_folder(CSIDL_COMMON_DESKTOPDIRECTORY) + kLinkName;
        localAppData_ = shell_folder(CSIDL_LOCAL_APPDATA);
        ASSERT_GT(localAppData_.size(), 8u);
        appDataQuickLaunch_ = localAppData_ + kQuickLaunchBelowAppData + kLinkName;
        // The shortcut code creates no folder: the Quick Launch folder is
        // made here, as a browser's first start would.
        ASSERT_TRUE(make_folders(localAppData_ + kQuickLaunchBelowAppData));

        delete_key_tree(HKEY_CURRENT_USER, kMapGroups);
        for (const std::string* link :
             {&startMenu_, &commonStartMenu_, &desktop_, &commonDesktop_, &appDataQuickLaunch_})
            ASSERT_TRUE(remove_file(*link)) << *link;
    }

    // Runs shortcut creation; no notice may appear, whatever happens.
    void create_shortcuts()
    {
        NoticeLog notices;
        shortcut_creation();
        EXPECT_TRUE(notices.stop().empty());
    }

    void set_quick_launch(const std::string& folder)
    {
        set_string_value(HKEY_CURRENT_USER, kMapGroups, "Quick Launch", folder);
    }

    std::string startMenu_, commonStartMenu_, desktop_, commonDesktop_;
    std::string localAppData_, appDataQuickLaunch_;
};

TEST_F(Shortcuts, MakesStartMenuDesktopAndQuickLaunchLinks)
{
    create_shortcuts();

    EXPECT_TRUE(file_exists(startMenu_)) << startMenu_;
    EXPECT_TRUE(file_exists(desktop_)) << desktop_;
    // No MapGroups key: Quick Launch below the local application data.
    EXPECT_TRUE(file_exists(appDataQuickLaunch_)) << appDataQuickLaunch_;
    // The per-user folders were found, so nothing went to all users, and the
    // Start menu link is in the Start Menu itself, not in Programs.
    EXPECT_FALSE(file_exists(commonStartMenu_));
    EXPECT_FALSE(file_exists(commonDesktop_));
    EXPECT_FALSE(file_exists(shell_folder(CSIDL_PROGRAMS) + kLinkName));
    // Only opened, never created.
    EXPECT_FALSE(key_exists(HKEY_CURRENT_USER, kMapGroups));

    EXPECT_TRUE(keep_for_lnkinfo(startMenu_, "startmenu.lnk"));
    EXPECT_TRUE(keep_for_lnkinfo(desktop_, "desktop.lnk"));
    EXPECT_TRUE(keep_for_lnkinfo(appDataQuickLaunch_, "quicklaunch.lnk"));
}

TEST_F(Shortcuts, MissingPerUserFoldersFallBackToAllUsers)
{
    std::string startMenuFolder = shell_folder(CSIDL_STARTMENU);
    std::string desktopFolder = shell_folder(CSIDL_DESKTOPDIRECTORY);
    ASSERT_TRUE(MoveFileA(startMenuFolder.c_str(), (startMenuFolder + ".away").c_str()));
    ASSERT_TRUE(MoveFileA(desktopFolder.c_str(), (desktopFolder + ".away").c_str()));
    create_shortcuts();
    MoveFileA((startMenuFolder + ".away").c_str(), startMenuFolder.c_str());
    MoveFileA((desktopFolder + ".away").c_str(), desktopFolder.c_str());

    EXPECT_TRUE(file_exists(commonStartMenu_)) << commonStartMenu_;
    EXPECT_TRUE(file_exists(commonDesktop_)) << commonDesktop_;
    EXPECT_FALSE(file_exists(startMenu_));
    EXPECT_FALSE(file_exists(desktop_));
    EXPECT_TRUE(file_exists(appDataQuickLaunch_));
}

TEST_F(Shortcuts, QuickLaunchValueIsTakenFromFiveTo487Characters)
{
    ASSERT_TRUE(make_folders("C:\\Q5"));
    set_quick_launch("C:\\Q5");
    create_shortcuts();
    EXPECT_TRUE(file_exists("C:\\Q5\\Veltranox 2003.lnk"));
    EXPECT_FALSE(file_exists(appDataQuickLaunch_));

    std::string longest = make_folder_of_length("C:\\QL", 487);
    ASSERT_EQ(487u, longest.size());
    set_quick_launch(longest);
    create_shortcuts();
    EXPECT_TRUE(file_exists(longest + kLinkName)) << longest.size();
    EXPECT_FALSE(file_exists(appDataQuickLaunch_));
}

TEST_F(Shortcuts, QuickLaunchValueOutsideTheLimitsFallsBackToLocalAppData)
{
    // Each folder exists, so a link would show up there if it were taken.
    ASSERT_TRUE(make_folders("C:\\Q"));
    std::string tooLong = make_folder_of_length("C:\\QT", 488);
    ASSERT_EQ(488u, tooLong.size());

    for (const std::string& folder : {std::string("C:\\Q"), tooLong}) {
        ASSERT_TRUE(remove_file(appDataQuickLaunch_));
        set_quick_launch(folder);
        create_shortcuts();
        EXPECT_FALSE(file_exists(folder + kLinkName)) << folder.size();
        EXPECT_TRUE(file_exists(appDataQuickLaunch_)) << folder.size();
    }
}

TEST_F(Shortcuts, QuickLaunchValueEndingInBackslashIsUsedAsItStands)
{
    ASSERT_TRUE(make_folders("C:\\QB"));
    set_quick_launch("C:\\QB\\");
    create_shortcuts();
    // "C:\QB\\Veltranox 2003.lnk" names the same file.
    EXPECT_TRUE(file_exists("C:\\QB\\Veltranox 2003.lnk"));
    EXPECT_FALSE(file_exists(appDataQuickLaunch_));
}

TEST_F(Shortcuts, QuickLaunchValueWithoutTerminatingZero)
{
    // Stored without its zero but shorter than the read buffer: the text is
    // the stored bytes.
    ASSERT_TRUE(make_folders("C:\\Q5"));
    ASSERT_TRUE(remove_file("C:\\Q5\\Veltranox 2003.lnk"));
    set_raw_value(HKEY_CURRENT_USER, kMapGroups, "Quick Launch", REG_SZ, "C:\\Q5");
    create_shortcuts();
    EXPECT_TRUE(file_exists("C:\\Q5\\Veltranox 2003.lnk"));
    EXPECT_FALSE(file_exists(appDataQuickLaunch_));

    // 520 characters with no zero among them fill the whole read buffer:
    // there is no text inside it, so the value counts as absent. Stored as
    // a string (Wine adds a zero after it, which the read leaves out) and as
    // plain bytes.
    for (DWORD type : {DWORD(REG_SZ), DWORD(REG_BINARY)}) {
        ASSERT_TRUE(remove_file(appDataQuickLaunch_));
        set_raw_value(HKEY_CURRENT_USER, kMapGroups, "Quick Launch", type, std::string(520, 'x'));
        ASSERT_GE(read_value(HKEY_CURRENT_USER, kMapGroups, "Quick Launch").size, 520u);
        create_shortcuts();
        EXPECT_TRUE(file_exists(appDataQuickLaunch_)) << "type " << type;
    }
}

TEST_F(Shortcuts, LocalAppDataOfEightCharactersOrFewerGivesNoQuickLaunchLink)
{
    // Point the user's local application data elsewhere, at folders that
    // already hold the Quick Launch folder.
    StoredValue saved = read_value(HKEY_CURRENT_USER, kUserShellFolders, "Local AppData");
    ASSERT_TRUE(saved.present);
    const std::string eight = "C:\\LAD08", nine = "C:\\LAD009";
    ASSERT_EQ(8u, eight.size());
    ASSERT_EQ(9u, nine.size());
    ASSERT_TRUE(make_folders(eight + kQuickLaunchBelowAppData));
    ASSERT_TRUE(make_folders(nine + kQuickLaunchBelowAppData));

    set_string_value(HKEY_CURRENT_USER, kUserShellFolders, "Local AppData", eight);
    ASSERT_EQ(eight, shell_folder(CSIDL_LOCAL_APPDATA));
    create_shortcuts();
    EXPECT_FALSE(file_exists(eight + kQuickLaunchBelowAppData + kLinkName));

    set_string_value(HKEY_CURRENT_USER, kUserShellFolders, "Local AppData", nine);
    create_shortcuts();
    EXPECT_TRUE(file_exists(nine + kQuickLaunchBelowAppData + kLinkName));

    set_raw_value(HKEY_CURRENT_USER, kUserShellFolders, "Local AppData", saved.type, saved.bytes);
    // The other links do not depend on it.
    EXPECT_TRUE(file_exists(startMenu_));
    EXPECT_TRUE(file_exists(desktop_));
}

TEST_F(Shortcuts, ComAlreadyInitialisedOnTheThreadMeansNoLinks)
{
    ASSERT_EQ(S_OK, CoInitialize(NULL));
    create_shortcuts();
    EXPECT_FALSE(file_exists(startMenu_));
    EXPECT_FALSE(file_exists(desktop_));
    EXPECT_FALSE(file_exists(appDataQuickLaunch_));

    // Its refused CoInitialize (S_FALSE) still counts on the thread and is
    // left as it is: with ours undone, COM is still initialised.
    CoUninitialize();
    EXPECT_EQ(S_FALSE, CoInitialize(NULL));
    CoUninitialize();
    CoUninitialize();
}

TEST_F(Shortcuts, ComIsUninitialisedAgainAfterwards)
{
    create_shortcuts();
    ASSERT_TRUE(file_exists(startMenu_));
    EXPECT_EQ(S_OK, CoInitialize(NULL));
    CoUninitialize();
}

}  // namespace
