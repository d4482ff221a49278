// Whole runs of the release setup program up to the main program: a newer
// installed copy, a copy in use and a failing replacement each end the run
// with their notice, before any other file is written.
#include <gtest/gtest.h>

#include <string>

#include "tests/support/benchutil.h"
#include "tests/support/robot.h"
#include "tests/win/extract/fixtures.h"

namespace {

const char kInstallFolder[] = "C:\\Program Files (x86)\\Veltranox";

class SetupRun : public ::testing::Test {
protected:
    void SetUp() override
    {
        remove_tree(kInstallFolder);
        ASSERT_TRUE(CreateDirectoryA(kInstallFolder, nullptr));
    }

    std::string main_program() const { return std::string(kInstallFolder) + "\\Veltranox.exe"; }

    // Install in the location dialog, Accept in the licence dialog; every
    // box is recorded and answered with OK.
    robot::DriverLog run_setup(const std::string& extraOptions = std::string())
    {
        std::string command = "\"" + sibling_path("robot-driver.exe") +
                              "\" --log run.log --timeout 60 --press 1002:1 --press 1000,!1002:1 " +
                              extraOptions + " \"" + sibling_path("VeltranoxSetup.exe") + "\"";
        DeleteFileA("run.log");
        run_and_wait(command, 90000);
        robot::DriverLog log;
        EXPECT_TRUE(robot::read_driver_log("run.log", &log));
        EXPECT_TRUE(log.finished) << "still running at the timeout";
        EXPECT_EQ(0u, log.exitCode);
        return log;
    }

    // Only the old main program is in the install folder.
    void expect_nothing_installed(const std::string& old)
    {
        EXPECT_EQ(old, read_file(main_program()));
        WIN32_FIND_DATAA found;
        HANDLE search = FindFirstFileA((std::string(kInstallFolder) + "\\*").c_str(), &found);
        ASSERT_NE(INVALID_HANDLE_VALUE, search);
        do {
            std::string name = found.cFileName;
            if (name != "." && name != ".." && name != "Veltranox.exe")
                ADD_FAILURE() << "written: " << name;
        } while (FindNextFileA(search, &found));
        FindClose(search);
    }
};

TEST_F(SetupRun, NewerInstalledVersionEndsTheRunWithNotice5)
{
    std::string old = read_file(sibling_path("version_2_0_0_0.exe"));
    ASSERT_TRUE(write_file(main_program(), old));
    robot::DriverLog log = run_setup();
    ASSERT_EQ(1u, log.notices.size());
    EXPECT_EQ("ERROR 5", log.notices[0].caption);
    EXPECT_EQ("A more recent version of Veltranox already exists at the install location.  "
              "Installation aborted.",
              log.notices[0].text);
    EXPECT_FALSE(log.notices[0].owner != nullptr);
    expect_nothing_installed(old);
}

TEST_F(SetupRun, CopyInUseEndsTheRunWithNotice4)
{
    std::string old = read_file(sibling_path("version_1_0_0_1.exe"));
    ASSERT_TRUE(write_file(main_program(), old));
    // Held for the whole run.
    HANDLE holder = start_holder(main_program());
    ASSERT_NE(nullptr, holder);
    robot::DriverLog log = run_setup();
    EXPECT_EQ(0, finish_holder(holder));
    ASSERT_EQ(1u, log.notices.size());
    EXPECT_EQ("ERROR 4", log.notices[0].caption);
    EXPECT_EQ("Unable to overwrite existing veltranox.exe file; installation aborted.  If your "
              "existing copy of Veltranox is running, please shut it down and try again.  "
              "Otherwise, rebooting your computer should take care of the problem.",
              log.notices[0].text);
    expect_nothing_installed(old);
}

TEST_F(SetupRun, FailedReplacementEndsTheRunAfterItsOwnNotice)
{
    std::string old = read_file(sibling_path("version_1_0_0_1.exe"));
    ASSERT_TRUE(write_file(main_program(), old));
    // A temp folder that does not exist: data.tmp cannot be written.
    robot::DriverLog log = run_setup("--env TEMP=C:\\no-such-temp --env TMP=C:\\no-such-temp");
    ASSERT_EQ(1u, log.notices.size());
    EXPECT_EQ("ERROR 34", log.notices[0].caption);
    expect_nothing_installed(old);
}

} // namespace
