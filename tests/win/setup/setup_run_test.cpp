#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "tests/support/benchutil.h"
#include "tests/support/robot.h"

namespace {

// Runs the setup program under robot-driver.exe with the given rules and
// returns the driver's record.
robot::DriverLog run_setup_program(const std::string& rules, const char* logName)
{
    std::string command = "\"" + sibling_path("robot-driver.exe") + "\" --log " + logName +
                          " --timeout 90 " + rules + " \"" +
                          sibling_path("VeltranoxSetup.exe") + "\"";
    int code = run_and_wait(command, 120000);
    robot::DriverLog log;
    EXPECT_TRUE(robot::read_driver_log(logName, &log)) << "driver exit " << code;
    for (const auto& notice : log.notices)
        printf("  box \"%s\": %s\n", notice.caption.c_str(),
               robot::escape_field(notice.text).c_str());
    for (const auto& action : log.actions)
        printf("  %s\n", action.c_str());
    return log;
}

} // namespace

// Cancel in the location dialog (the one with Change..., 1002): the program
// ends with 0 and nothing went wrong on the way there.
TEST(SetupProgram, CancelInTheLocationDialogExitsWithZero)
{
    robot::DriverLog log = run_setup_program("--press 1002:2 --press 1000,!1002:2", "cancel.log");
    ASSERT_TRUE(log.finished) << "still running at the timeout";
    EXPECT_EQ(0u, log.exitCode);
    EXPECT_TRUE(log.notices.empty());
    ASSERT_FALSE(log.actions.empty());
    EXPECT_EQ("press 2 in dialog 1002", log.actions[0]);
}

// Install, Accept, and whatever boxes come answered with OK: the whole run
// ends with exit code 0.
TEST(SetupProgram, FullRunExitsWithZero)
{
    robot::DriverLog log = run_setup_program("--press 1002:1 --press 1000,!1002:1", "full.log");
    ASSERT_TRUE(log.finished) << "still running at the timeout";
    EXPECT_EQ(0u, log.exitCode);
}
