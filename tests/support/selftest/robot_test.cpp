#include <gtest/gtest.h>
#include <windows.h>

#include <stdio.h>

#include <thread>

#include "test_dialog.h"
#include "tests/support/benchutil.h"
#include "tests/support/robot.h"

using robot::Icon;
using robot::Robot;

// Boxes shown on this thread are read and answered by the robot's thread:
// caption, text, icon, buttons and owner, in the order they appeared.
TEST(Robot, RecordsAndAnswersMessageBoxesInOrder)
{
    Robot robot;
    robot.set_answer("Question", IDNO);
    robot.start();
    EXPECT_EQ(IDOK, MessageBoxA(nullptr, "Unable to access system registry.", "ERROR 1A",
                                MB_ICONERROR));
    EXPECT_EQ(IDNO, MessageBoxA(nullptr, "Go on?", "Question", MB_YESNO | MB_ICONQUESTION));
    EXPECT_EQ(IDCANCEL, MessageBoxA(nullptr, "Retry?", "Plain", MB_RETRYCANCEL));
    robot.stop();

    auto notices = robot.notices();
    ASSERT_EQ(3u, notices.size());
    EXPECT_EQ("ERROR 1A", notices[0].caption);
    EXPECT_EQ("Unable to access system registry.", notices[0].text);
    EXPECT_EQ(Icon::Error, notices[0].icon);
    EXPECT_EQ(std::vector<int>{IDOK}, notices[0].buttons);
    EXPECT_EQ(nullptr, notices[0].owner);
    EXPECT_EQ(IDOK, notices[0].answer);
    EXPECT_EQ(Icon::Question, notices[1].icon);
    EXPECT_EQ((std::vector<int>{IDYES, IDNO}), notices[1].buttons);
    EXPECT_EQ(Icon::None, notices[2].icon);
    EXPECT_EQ(IDCANCEL, notices[2].answer); // no OK button: Cancel
}

// Left unanswered, a box stays up and can be found and dismissed by hand;
// dialogs of the program itself (with -1 labels) are not message boxes.
TEST(Robot, FindsBoxesAndTellsThemFromDialogs)
{
    Robot robot;
    robot.set_answer_boxes(false);
    robot.start();
    std::thread helper([&] {
        HWND box = robot.find_message_box(60000);
        ASSERT_NE(nullptr, box);
        EXPECT_TRUE(robot::is_message_box(box));
        EXPECT_EQ("Owned?", robot::window_text(box));
        EXPECT_TRUE(robot.wait_for_notices(1, 60000)); // recorded, not answered
        Sleep(100);
        EXPECT_TRUE(IsWindow(box));
        EXPECT_TRUE(robot::click(box, IDOK));
        EXPECT_TRUE(robot::wait_window_gone(box, 60000));

        HWND dialog = robot.find_dialog_with_control(1002, 60000);
        ASSERT_NE(nullptr, dialog);
        EXPECT_FALSE(robot::is_message_box(dialog));
        EXPECT_EQ("Caption here", robot::window_text(dialog));
        EXPECT_EQ(dialog, robot.find_dialog_by_caption("Caption here"));
        EXPECT_EQ("C:\\start", robot::control_text(dialog, 1000));
        EXPECT_EQ("A label with id -1.", robot::control_text(dialog, 0xFFFF));
        EXPECT_TRUE(robot::set_control_text(dialog, 1000, "D:\\else"));
        EXPECT_EQ("D:\\else", robot::control_text(dialog, 1000));
        EXPECT_TRUE(robot::control_visible(dialog, 1002));
        EXPECT_FALSE(robot::control_enabled(dialog, 1002));
        EXPECT_FALSE(robot::click(dialog, 1002)) << "a disabled button cannot be pressed";
        EXPECT_FALSE(robot::control_exists(dialog, 4711));
        EXPECT_TRUE(robot::click(dialog, IDCANCEL));
    });
    HWND owner = CreateWindowA("STATIC", "owner", WS_POPUP | WS_VISIBLE, 0, 0, 10, 10, nullptr,
                               nullptr, nullptr, nullptr);
    EXPECT_EQ(IDOK, MessageBoxA(owner, "text", "Owned?", MB_OK));
    TestDialogOptions options;
    options.changeEnabled = false;
    options.caption = "Caption here";
    EXPECT_EQ(IDCANCEL, run_test_dialog(options));
    helper.join();
    DestroyWindow(owner);
    auto notices = robot.notices();
    ASSERT_EQ(1u, notices.size());
    EXPECT_EQ(owner, notices[0].owner);
    EXPECT_EQ(0, notices[0].answer);
}

// Enter goes to the default button and Escape to IDCANCEL, through the
// dialog's own IsDialogMessage, as from a keyboard.
TEST(Robot, EnterAndEscapeActLikeKeys)
{
    for (bool enter : {true, false}) {
        Robot robot;
        std::thread helper([&] {
            HWND dialog = robot.find_dialog_with_control(1000, 60000);
            ASSERT_NE(nullptr, dialog);
            EXPECT_TRUE(enter ? robot::press_enter(dialog) : robot::press_escape(dialog));
        });
        EXPECT_EQ(enter ? IDOK : IDCANCEL, run_test_dialog(TestDialogOptions()));
        helper.join();
    }
}

// Rules: match by controls present and missing, and by caption; each
// fires once per dialog window and within its count.
TEST(Robot, RulesWalkDialogs)
{
    robot::Rule location, plain, byCaption, bad;
    ASSERT_TRUE(robot::parse_rule("1002:2", robot::Action::Press, &location));
    ASSERT_TRUE(robot::parse_rule("1000,!1002:1", robot::Action::Press, &plain));
    ASSERT_TRUE(robot::parse_rule("\"Name: x, y\":1002", robot::Action::Press, &byCaption));
    EXPECT_EQ("Name: x, y", byCaption.caption);
    EXPECT_EQ(1002, byCaption.control);
    robot::Rule set;
    ASSERT_TRUE(robot::parse_rule("1002:1000=D:\\a:b", robot::Action::SetText, &set));
    EXPECT_EQ(1000, set.control);
    EXPECT_EQ("D:\\a:b", set.text);
    EXPECT_FALSE(robot::parse_rule("1002", robot::Action::Press, &bad));
    EXPECT_FALSE(robot::parse_rule("x:1", robot::Action::Press, &bad));
    EXPECT_FALSE(robot::parse_rule(":1", robot::Action::Press, &bad));

    Robot robot;
    robot.add_rule(byCaption);
    location.times = 1;
    robot.add_rule(location);
    robot.add_rule(plain);
    robot.start();
    TestDialogOptions options;
    options.caption = "Name: x, y";
    EXPECT_EQ(1002, run_test_dialog(options)); // the caption rule comes first
    options.caption = "";
    EXPECT_EQ(IDCANCEL, run_test_dialog(options));
    options.withChange = false;
    EXPECT_EQ(IDOK, run_test_dialog(options));
    options.withChange = true;
    std::thread late([&] {
        // The location rule is used up: this one stays until pressed here.
        HWND dialog = robot.find_dialog_with_control(1002, 60000);
        Sleep(200);
        EXPECT_TRUE(robot::click(dialog, IDOK));
    });
    EXPECT_EQ(IDOK, run_test_dialog(options));
    late.join();
    robot.stop();
    EXPECT_EQ(3u, robot.actions().size());
}

// A screenshot is a BMP of the window's size.
TEST(Robot, ScreenshotWritesBitmap)
{
    HWND window = CreateWindowA("STATIC", "shot", WS_POPUP | WS_VISIBLE, 20, 30, 101, 50,
                                nullptr, nullptr, nullptr, nullptr);
    ASSERT_TRUE(robot::save_screenshot(window, "shot.bmp"));
    ASSERT_TRUE(robot::save_screenshot(nullptr, "screen.bmp"));
    DestroyWindow(window);
    WIN32_FILE_ATTRIBUTE_DATA data;
    ASSERT_TRUE(GetFileAttributesExA("shot.bmp", GetFileExInfoStandard, &data));
    EXPECT_EQ(54u + 304u * 50u, data.nFileSizeLow); // rows of 101 * 3 padded to 304
    FILE* file = fopen("shot.bmp", "rb");
    ASSERT_NE(nullptr, file);
    char magic[2] = {};
    EXPECT_EQ(2u, fread(magic, 1, 2, file));
    fclose(file);
    EXPECT_EQ('B', magic[0]);
    EXPECT_EQ('M', magic[1]);
}

// The driver in another process: rules, boxes, the log and the exit code.
TEST(RobotDriver, WalksAnotherProcessAndWritesTheLog)
{
    std::string driver = "\"" + sibling_path("robot-driver.exe") + "\"";
    std::string child = " \"" + sibling_path("bench_child.exe") + "\" ui";
    int code = run_and_wait(driver + " --log run.log --set 1002:1000=X:\\y --press 1002:1"
                                     " --press 1000,!1002:2 --timeout 60" + child,
                            90000);
    EXPECT_EQ(102, code);
    robot::DriverLog log;
    ASSERT_TRUE(robot::read_driver_log("run.log", &log));
    EXPECT_TRUE(log.finished);
    EXPECT_EQ(102u, log.exitCode);
    ASSERT_EQ(2u, log.notices.size());
    EXPECT_EQ("ERROR DC5", log.notices[0].caption);
    EXPECT_EQ("First line\r\nsecond\tline", log.notices[0].text);
    EXPECT_EQ("ERROR 43", log.notices[1].caption);
    EXPECT_EQ(nullptr, log.notices[1].owner);
    ASSERT_EQ(3u, log.actions.size());
    EXPECT_EQ("set 1000 to X:\\y in dialog 1002", log.actions[0]);
    EXPECT_EQ("press 1 in dialog 1002", log.actions[1]);
    EXPECT_EQ("press 2 in dialog 1000,!1002", log.actions[2]);

    code = run_and_wait(driver + " --answer Question=6 --log box.log" + " \"" +
                            sibling_path("bench_child.exe") + "\" box",
                        90000);
    EXPECT_EQ(IDYES, code);
}

TEST(RobotDriver, TimeoutEndsTheProgramAndTakesAScreenshot)
{
    std::string driver = "\"" + sibling_path("robot-driver.exe") + "\"";
    // Long enough for the box to be up before the timeout on any machine.
    int code = run_and_wait(driver + " --leave-boxes --timeout 10 --log t.log --screenshot t.bmp"
                                     " \"" + sibling_path("bench_child.exe") + "\" box",
                            90000);
    EXPECT_EQ(124, code);
    robot::DriverLog log;
    ASSERT_TRUE(robot::read_driver_log("t.log", &log));
    EXPECT_TRUE(log.timedOut);
    EXPECT_FALSE(log.finished);
    ASSERT_EQ(1u, log.notices.size());
    EXPECT_EQ(0, log.notices[0].answer);
    EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesA("t.bmp"));
    EXPECT_EQ(125, run_and_wait(driver + " --bogus x y", 30000));
    EXPECT_EQ(125, run_and_wait(driver + " C:\\no\\such.exe", 30000));
}
