// Starting the installed program: a probe in place of the main program
// records its current directory and show command.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "setup/sequence.h"
#include "setup/state.h"
#include "tests/support/benchutil.h"
#include "tests/support/robot.h"
#include "tests/support/registry.h"

namespace {

TEST(Launch, StartsTheBareProgramNameMaximisedInTheInstallFolder)
{
    const std::string folder = "C:\\Launch Test\\Veltranox";
    const std::string record = folder + "\\launch-record.txt";
    ASSERT_TRUE(make_folders(folder));
    ASSERT_TRUE(CopyFileA(sibling_path("launch_probe.exe").c_str(),
                          (folder + "\\Veltranox.exe").c_str(), FALSE));
    ASSERT_TRUE(remove_file(record));
    // Nothing else may lead the shell to the name.
    delete_key_tree(HKEY_LOCAL_MACHINE,
                    "Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\Veltranox.exe");
    ASSERT_TRUE(SetCurrentDirectoryA("C:\\"));

    g_setup = SetupState();
    strcpy(g_setup.installFolder, folder.c_str());
    strcpy(g_setup.mainProgramPath, (folder + "\\Veltranox.exe").c_str());
    launch_program();

    char current[MAX_PATH];
    GetCurrentDirectoryA(MAX_PATH, current);
    EXPECT_EQ(folder, current);
    ASSERT_TRUE(robot::wait_until([&] { return file_exists(record); }, 60000))
        << "the probe did not run";
    std::string lines = read_file(record);
    EXPECT_EQ(folder + "\r\n" + std::to_string(SW_SHOWMAXIMIZED) + "\r\n" + folder +
                  "\\Veltranox.exe\r\n",
              lines);
}

}  // namespace
