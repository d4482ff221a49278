// The screens within the setup sequence: a run without a backdrop, and a
// location dialog that cannot be created. The sequence runs in this process
// (its resources are the program's screens and licence) while a second
// thread acts as the user. The whole runs of the real program (a rejected
// folder, the licence declined) are in tests/win/e2e.
#include <gtest/gtest.h>

#include <shlobj.h>

#include <string>
#include <thread>
#include <vector>

#include "setup/sequence.h"
#include "setup/state.h"
#include "tests/support/benchutil.h"
#include "tests/support/robot.h"
#include "tests/win/ui/dialog_driver.h"
#include "ui/licence_dialog.h"
#include "ui/location_dialog.h"

namespace {

// A location dialog has Change...; the licence dialog has the text but no
// Change....
HWND wait_location_dialog(robot::Robot& robot, HWND notThis)
{
    HWND found = NULL;
    robot::wait_until(
        [&] {
            found = robot.find_dialog_with_control(kChangeButton);
            return found != NULL && found != notThis;
        },
        60000);
    return found != notThis ? found : NULL;
}

HWND wait_licence_dialog(robot::Robot& robot)
{
    HWND found = NULL;
    robot::wait_until(
        [&] {
            found = robot.find_dialog_with_control(kLicenceField);
            return found != NULL && !robot::control_exists(found, kChangeButton);
        },
        60000);
    return found;
}

// Runs the sequence in this process while `user` acts on its windows.
int run_sequence(HINSTANCE instance, robot::Robot& robot,
                 const std::function<void()>& user)
{
    robot.start();
    std::thread driver(user);
    int exitCode = run_setup(instance);
    driver.join();
    robot.stop();
    // The backdrop outlives the sequence by design; here the next test
    // needs the class again.
    if (g_setup.backdropWindow != NULL)
        DestroyWindow(g_setup.backdropWindow);
    pump_messages(0);
    UnregisterClassA("Veltranox", instance);
    return exitCode;
}

TEST(Sequence, WithoutBackdropTheDialogsHaveNoOwnerAndTheRunGoesOn)
{
    // The class name is taken, so the backdrop cannot be registered.
    WNDCLASSEXA taken = {};
    taken.cbSize = sizeof taken;
    taken.lpfnWndProc = DefWindowProcA;
    taken.hInstance = GetModuleHandleA(NULL);
    taken.lpszClassName = "Veltranox";
    ASSERT_NE(RegisterClassExA(&taken), 0);

    robot::Robot robot;
    bool locationShown = false, licenceShown = false;
    HWND locationOwner = HWND(1), licenceOwner = HWND(1);
    int exitCode = run_sequence(GetModuleHandleA(NULL), robot, [&] {
        HWND location = wait_location_dialog(robot, NULL);
        locationShown = location != NULL;
        if (location == NULL)
            return;
        locationOwner = GetWindow(location, GW_OWNER);
        robot::click(location, IDOK);
        HWND licence = wait_licence_dialog(robot);
        licenceShown = licence != NULL;
        if (licence == NULL)
            return;
        licenceOwner = GetWindow(licence, GW_OWNER);
        robot::click(licence, IDCANCEL);
    });
    EXPECT_EQ(g_setup.backdropWindow, (HWND)NULL);
    EXPECT_TRUE(locationShown);
    EXPECT_TRUE(licenceShown) << "the run goes on past the location dialog";
    EXPECT_EQ(locationOwner, (HWND)NULL);
    EXPECT_EQ(licenceOwner, (HWND)NULL);
    EXPECT_EQ(exitCode, 0);
    EXPECT_TRUE(robot.notices().empty());
}

TEST(Sequence, LocationDialogThatCannotBeCreatedEndsWithNoticeFortyThree)
{
    // A module without the dialog templates.
    HINSTANCE noTemplates = GetModuleHandleA("kernel32.dll");
    robot::Robot robot;
    int exitCode = run_sequence(noTemplates, robot, [] {});
    EXPECT_EQ(exitCode, 0);
    std::vector<robot::Notice> notices = robot.notices();
    ASSERT_EQ(notices.size(), 1u);
    EXPECT_EQ(notices[0].caption, "ERROR 43");
    EXPECT_EQ(notices[0].text, "Unable to initialize");
}

}  // namespace
