// The licence dialog, run by probe programs that each carry a different
// licence text (or none) and exit with the dialog's result; the robot
// watches them, answers their notices and presses their buttons.
#include <gtest/gtest.h>

#include <stdio.h>

#include <functional>
#include <string>
#include <vector>

#include "tests/support/benchutil.h"
#include "tests/support/robot.h"
#include "tests/win/ui/dialog_driver.h"
#include "tests/support/files.h"
#include "tests/support/screenshots.h"
#include "ui/licence_dialog.h"

namespace {

const char kDamaged[] = "Velt.exe installer file is damaged. Installation aborted.";

struct ProbeRun {
    bool started = false;
    bool shown = false;  // the dialog became visible
    DWORD exitCode = 0xDEADu;
    std::vector<robot::Notice> notices;
};

// Starts probe `name` and hands its dialog, once visible, to `drive`.
ProbeRun run_probe(const char* name, const std::function<void(HWND)>& drive,
                   bool withBackdrop = false)
{
    ProbeRun run;
    std::string command = "\"" + sibling_path(name) + "\"";
    if (withBackdrop)
        command += " backdrop";
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessA(NULL, &command[0], NULL, NULL, FALSE, 0, NULL, NULL, &startup,
                        &process))
        return run;
    run.started = true;
    robot::Robot robot(process.dwProcessId);
    robot.start();
    HWND dialog = NULL;
    robot::wait_until(
        [&] {
            dialog = robot.find_dialog_with_control(kLicenceField);
            return dialog != NULL || WaitForSingleObject(process.hProcess, 0) == WAIT_OBJECT_0;
        },
        20000);
    if (dialog != NULL) {
        run.shown = true;
        drive(dialog);
    }
    if (WaitForSingleObject(process.hProcess, 20000) == WAIT_TIMEOUT)
        TerminateProcess(process.hProcess, 0xDEAD);
    GetExitCodeProcess(process.hProcess, &run.exitCode);
    robot.stop();
    run.notices = robot.notices();
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return run;
}

TEST(LicenceDialog, ShortestSoundTextIsShownAndAccepted)
{
    std::string text;
    bool acceptFocused = false;
    ProbeRun run = run_probe("licence-sound.exe", [&](HWND dialog) {
        text = robot::control_text(dialog, kLicenceField);
        acceptFocused = robot::wait_until(
            [&] { return focus_of(dialog) == GetDlgItem(dialog, IDOK); }, 3000);
        robot::click(dialog, IDOK);
    });
    ASSERT_TRUE(run.started);
    EXPECT_TRUE(run.shown);
    EXPECT_EQ(text, "Veltranox..") << "11 bytes, shown whole and nothing after them";
    EXPECT_TRUE(acceptFocused) << "the first tab stop, Accept, has the focus";
    EXPECT_EQ(run.exitCode, 1u);
    EXPECT_TRUE(run.notices.empty());
}

TEST(LicenceDialog, DeclineEscapeAndEnter)
{
    struct Case {
        const char* name;
        std::function<bool(HWND)> act;
        DWORD expected;
    } cases[] = {
        {"Decline", [](HWND d) { return robot::click(d, IDCANCEL); }, 2},
        {"Escape", robot::press_escape, 2},
        {"Enter", robot::press_enter, 1},
        // The text takes no Enter of its own (no ES_WANTRETURN): Enter in it
        // still presses the default button, Accept.
        {"Enter in the text",
         [](HWND d) {
             HWND edit = GetDlgItem(d, kLicenceField);
             PostMessageA(d, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(edit), TRUE);
             return robot::wait_until([&] { return focus_of(d) == edit; }, 60000) &&
                    robot::press_enter(d);
         },
         1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        bool acted = false;
        ProbeRun run = run_probe("licence-sound.exe", [&](HWND dialog) {
            robot::wait_until([&] { return focus_of(dialog) != NULL; }, 60000);
            acted = c.act(dialog);
        });
        EXPECT_TRUE(run.shown);
        EXPECT_TRUE(acted);
        EXPECT_EQ(run.exitCode, c.expected);
        EXPECT_TRUE(run.notices.empty());
    }
}

TEST(LicenceDialog, DamagedTextsEndWithNoticeSeventy)
{
    // Ten bytes that begin correctly, and the name in other cases.
    for (const char* probe : {"licence-short.exe", "licence-upper.exe", "licence-lower.exe"}) {
        SCOPED_TRACE(probe);
        ProbeRun run = run_probe(probe, [](HWND dialog) { robot::click(dialog, IDOK); });
        ASSERT_TRUE(run.started);
        EXPECT_FALSE(run.shown) << "a damaged text is never shown";
        EXPECT_EQ(run.exitCode, 2u);
        ASSERT_EQ(run.notices.size(), 1u);
        EXPECT_EQ(run.notices[0].caption, "ERROR 70");
        EXPECT_EQ(run.notices[0].text, kDamaged);
        EXPECT_EQ(run.notices[0].owner, (HWND)NULL) << "error notices have no owner";
    }
}

TEST(LicenceDialog, MissingTextEndsAfterTheLookupNotice)
{
    ProbeRun run = run_probe("licence-missing.exe", [](HWND dialog) { robot::click(dialog, IDOK); });
    ASSERT_TRUE(run.started);
    EXPECT_FALSE(run.shown);
    EXPECT_EQ(run.exitCode, 2u);
    ASSERT_EQ(run.notices.size(), 1u);
    EXPECT_EQ(run.notices[0].caption, "ERROR 60");
    EXPECT_FALSE(run.notices[0].text.empty()) << "the system's message for the error";
}

TEST(LicenceDialog, ShippedLicenceOverTheBackdrop)
{
    std::string expected = read_file(LICENCE_FILE);
    ASSERT_GT(expected.size(), 1000u) << LICENCE_FILE;
    std::string text, ownerClass;
    ProbeRun run = run_probe(
        "licence-real.exe",
        [&](HWND dialog) {
            text = robot::control_text(dialog, kLicenceField);
            ownerClass = robot::class_name(GetWindow(dialog, GW_OWNER));
            Sleep(400);
            save_screenshot("licence_dialog");
            robot::click(dialog, IDCANCEL);
        },
        true);
    EXPECT_TRUE(run.shown);
    EXPECT_EQ(text, expected);
    EXPECT_EQ(ownerClass, "Veltranox") << "the backdrop window owns the dialog";
    EXPECT_EQ(run.exitCode, 2u);
}

}  // namespace
