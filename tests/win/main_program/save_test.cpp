// Saving a script with the main program: File > Save writes the new text
// whole or leaves the previous version as it was.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "resources/programs/veltranox/ids.h"
#include "tests/support/benchutil.h"
#include "tests/support/robot.h"
#include "tests/win/registration/registry_files.h"

namespace {

const char kScript[] = "F:\\Scripts\\Act One.scp";

// The editor's text, read across the process boundary.
std::string editor_text(HWND editor)
{
    std::string text(size_t(SendMessageA(editor, WM_GETTEXTLENGTH, 0, 0)) + 1, '\0');
    text.resize(size_t(SendMessageA(editor, WM_GETTEXT, text.size(), (LPARAM)&text[0])));
    return text;
}

} // namespace

// On a disk with less room than the new text, the old script stays whole
// and nothing else is left beside it; once there is room, the new text is
// the script.
TEST(MainProgram, SaveOnAFullDiskKeepsThePreviousScript)
{
    ASSERT_TRUE(make_folders("F:\\Scripts"));
    const std::string previous = "[SCENE]\r\nINT. KITCHEN - NIGHT\r\n" + std::string(4000, 'p');
    ASSERT_TRUE(write_file(kScript, previous));
    // The drive full up to its last 32 KB.
    ULARGE_INTEGER available;
    ASSERT_TRUE(GetDiskFreeSpaceExA("F:\\", &available, nullptr, nullptr));
    const ULONGLONG kLeft = 32 * 1024;
    ASSERT_GT(available.QuadPart, kLeft) << "the test drive is too small";
    ASSERT_TRUE(write_file("F:\\filler.bin", std::string(size_t(available.QuadPart - kLeft), 'f')));

    robot::Robot robot;
    robot.watch_all_processes(true);
    robot.set_answer("Veltranox 2003", IDOK);
    robot.start();
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION program = {};
    std::string commandLine = "\"" + sibling_path("Veltranox.exe") + "\" \"" + kScript + "\"";
    ASSERT_TRUE(CreateProcessA(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr,
                               nullptr, &startup, &program));
    HWND window = robot.find_window_by_class("Veltranox2003Main", 20000);
    ASSERT_NE(nullptr, window);
    HWND editor = FindWindowExA(window, nullptr, "EDIT", nullptr);
    ASSERT_NE(nullptr, editor);
    ASSERT_TRUE(robot::wait_until([&] { return IsWindowVisible(editor) != 0; }, 10000));
    EXPECT_TRUE(previous == editor_text(editor)) << "the script did not open";

    const std::string longer = "[SCENE]\r\nEXT. HARBOUR - DAWN\r\n" + std::string(200000, 'n');
    SendMessageA(editor, WM_SETTEXT, 0, (LPARAM)longer.c_str());
    SendMessageA(editor, EM_SETMODIFY, TRUE, 0);
    SendMessageA(window, WM_COMMAND, ID_FILE_SAVE, 0);
    ASSERT_TRUE(robot.wait_for_notices(1, 10000));
    EXPECT_EQ("Unable to save the script\n" + std::string(kScript), robot.notices()[0].text);
    EXPECT_TRUE(previous == file_contents(kScript))
        << "the previous version was lost: " << file_contents(kScript).size() << " bytes left";
    EXPECT_EQ("Act One.scp\n", [] {
        std::string names;
        for (const std::string& name : names_in("F:\\Scripts"))
            names += name + "\n";
        return names;
    }());

    ASSERT_TRUE(DeleteFileA("F:\\filler.bin"));
    SendMessageA(window, WM_COMMAND, ID_FILE_SAVE, 0);
    EXPECT_TRUE(longer == file_contents(kScript)) << file_contents(kScript).size() << " bytes saved";
    EXPECT_EQ(1u, robot.notice_count());
    // Saved: closing asks nothing.
    PostMessageA(window, WM_CLOSE, 0, 0);
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(program.hProcess, 20000));
    robot.stop();
    EXPECT_EQ(1u, robot.notice_count());
    CloseHandle(program.hThread);
    CloseHandle(program.hProcess);
}
