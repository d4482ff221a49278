// A whole run of a setup program that carries the launch probe as its main
// program: the registration, the links and the launch as they come out of
// the real sequence.
#include <windows.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <string>

#include "tests/support/benchutil.h"
#include "tests/support/robot.h"
#include "tests/win/registration/registry_files.h"

namespace {

const char kInstallFolder[] = "C:\\Program Files (x86)\\Veltranox";
const char kLinkName[] = "\\Veltranox 2003.lnk";
const char kQuickLaunchBelowAppData[] = "\\Microsoft\\Internet Explorer\\Quick Launch";

TEST(SetupRun, RegistersLinksAndLaunchesTheInstalledProgram)
{
    // A browser would have made the Quick Launch folder; the setup program
    // makes no folder for its links.
    std::string quickLaunch = shell_folder(CSIDL_LOCAL_APPDATA) + kQuickLaunchBelowAppData;
    ASSERT_TRUE(make_folders(quickLaunch));

    // Install in the location dialog, Accept in the licence dialog.
    std::string command = "\"" + sibling_path("robot-driver.exe") +
                          "\" --log run.log --timeout 90 --press 1002:1 --press 1000,!1002:1 \"" +
                          sibling_path("ProbeSetup.exe") + "\"";
    run_and_wait(command, 120000);
    robot::DriverLog log;
    ASSERT_TRUE(robot::read_driver_log("run.log", &log));
    ASSERT_TRUE(log.finished) << "still running at the timeout";
    EXPECT_EQ(0u, log.exitCode);
    for (const auto& notice : log.notices)
        ADD_FAILURE() << "box \"" << notice.caption << "\": " << notice.text;

    // The program list shows the entry, whose uninstaller is where it points.
    std::string list = uninstaller_list();
    EXPECT_EQ(1u, count_of(list, "Veltranox|||Veltranox 2003   (Remove Only)")) << list;
    std::string uninstaller = windows_directory() + "\\vcluins1.exe";
    EXPECT_EQ(uninstaller,
              read_value(HKEY_LOCAL_MACHINE,
                         "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Veltranox",
                         "UninstallString")
                  .text());
    EXPECT_TRUE(file_exists(uninstaller));
    EXPECT_FALSE(file_exists(std::string(kInstallFolder) + "\\vcluins1.exe"));
    EXPECT_EQ(kInstallFolder, read_value(HKEY_LOCAL_MACHINE, "SOFTWARE\\Tervick", "Path").text());

    // The three links, kept for lnkinfo.
    std::string startMenu = shell_folder(CSIDL_STARTMENU) + kLinkName;
    std::string desktop = shell_folder(CSIDL_DESKTOPDIRECTORY) + kLinkName;
    EXPECT_TRUE(keep_for_lnkinfo(startMenu, "startmenu.lnk")) << startMenu;
    EXPECT_TRUE(keep_for_lnkinfo(desktop, "desktop.lnk")) << desktop;
    EXPECT_TRUE(keep_for_lnkinfo(quickLaunch + kLinkName, "quicklaunch.lnk"));

    // The probe was started maximised, in the install folder.
    std::string record = std::string(kInstallFolder) + "\\launch-record.txt";
    ASSERT_TRUE(robot::wait_until([&] { return file_exists(record); }, 60000))
        << "the installed program was not started";
    EXPECT_EQ(std::string(kInstallFolder) + "\r\n" + std::to_string(SW_SHOWMAXIMIZED) + "\r\n" +
                  kInstallFolder + "\\Veltranox.exe\r\n",
              file_contents(record));
}

}  // namespace
