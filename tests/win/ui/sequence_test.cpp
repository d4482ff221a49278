// The screens within the setup sequence: the location loop after a
// rejected folder, declining the licence, a run without a backdrop, and a
// location dialog that cannot be created. The sequence runs in this process
// (its resources are the program's screens and licence) or as the real
// setup program, while a second thread acts as the user.
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

const char kRemovableMessage[] = "Veltranox can't be installed to a removable disk.";

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

TEST(Sequence, RejectedFolderBringsTheProposalBack)
{
    robot::Robot robot;
    std::string proposal, picked, shownAgain;
    run_sequence(GetModuleHandleA(NULL), robot, [&] {
        HWND first = wait_location_dialog(robot, NULL);
        if (first == NULL)
            return;
        proposal = robot::control_text(first, kFolderField);
        robot::click(first, kChangeButton);
        HWND browser = find_folder_browser(60000);
        if (browser != NULL) {
            SendMessageA(browser, BFFM_SETSELECTIONA, TRUE, reinterpret_cast<LPARAM>("E:\\"));
            robot::click(browser, IDOK);
            robot::wait_window_gone(browser, 60000);
        }
        picked = robot::control_text(first, kFolderField);
        robot::click(first, IDOK);  // drive E: is removable: rejected
        HWND second = wait_location_dialog(robot, first);
        if (second == NULL)
            return;
        shownAgain = robot::control_text(second, kFolderField);
        robot::click(second, IDCANCEL);
    });
    EXPECT_EQ(picked, "E:\\Veltranox");
    ASSERT_FALSE(proposal.empty());
    EXPECT_EQ(shownAgain, proposal) << "the dialog shows the proposal, not the rejected folder";
    std::vector<robot::Notice> notices = robot.notices();
    ASSERT_EQ(notices.size(), 1u);
    EXPECT_EQ(notices[0].caption, "ERROR 12");
    EXPECT_EQ(notices[0].text, kRemovableMessage);
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

// The real program: Install, then Decline. The folder that validation
// created stays, with nothing in it.
TEST(Sequence, DeclineLeavesTheCreatedFolderEmpty)
{
    std::string command = "\"" + sibling_path("VeltranoxSetup.exe") + "\"";
    // Not from a folder that an earlier run in this process entered: the
    // program would hold it as its current directory.
    SetCurrentDirectoryA("C:\\");
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    ASSERT_TRUE(CreateProcessA(NULL, &command[0], NULL, NULL, FALSE, 0, NULL, NULL,
                               &startup, &process));
    robot::Robot robot(process.dwProcessId);
    robot.start();
    std::string folder;
    bool existedBefore = true, declined = false, progressShown = false;
    HWND location = wait_location_dialog(robot, NULL);
    if (location != NULL) {
        folder = robot::control_text(location, kFolderField);
        // An earlier run in this process may have created it.
        RemoveDirectoryA(folder.c_str());
        existedBefore = GetFileAttributesA(folder.c_str()) != INVALID_FILE_ATTRIBUTES;
        robot::click(location, IDOK);
        HWND licence = wait_licence_dialog(robot);
        if (licence != NULL)
            declined = robot::click(licence, IDCANCEL);
    }
    bool ended = WaitForSingleObject(process.hProcess, 30000) == WAIT_OBJECT_0;
    for (HWND window : robot.top_level_windows())
        progressShown = progressShown || has_child_text(window, "A moment please...");
    if (!ended)
        TerminateProcess(process.hProcess, 0xDEAD);
    DWORD exitCode = 0xDEAD;
    GetExitCodeProcess(process.hProcess, &exitCode);
    robot.stop();
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);

    ASSERT_FALSE(folder.empty()) << "no location dialog";
    EXPECT_FALSE(existedBefore) << folder << " was there before the run";
    EXPECT_TRUE(declined);
    EXPECT_TRUE(ended);
    EXPECT_EQ(exitCode, 0u);
    EXPECT_FALSE(progressShown);
    EXPECT_TRUE(robot.notices().empty());
    DWORD attributes = GetFileAttributesA(folder.c_str());
    ASSERT_NE(attributes, INVALID_FILE_ATTRIBUTES) << folder << " was not created";
    EXPECT_TRUE(attributes & FILE_ATTRIBUTE_DIRECTORY);
    EXPECT_EQ(attributes & FILE_ATTRIBUTE_READONLY, 0u);
    EXPECT_TRUE(names_in(folder).empty()) << "a payload file was written";
}

}  // namespace
