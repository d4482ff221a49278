// The location dialog and the progress notice, run from the program's own
// templates and driven as a user would: buttons, keys, the folder browser.
#include <gtest/gtest.h>

#include <shlobj.h>
#include <string.h>

#include <string>

#include "setup/state.h"
#include "tests/support/robot.h"
#include "tests/win/ui/dialog_driver.h"
#include "tests/support/screenshots.h"
#include "ui/backdrop.h"
#include "ui/location_dialog.h"

namespace {

const char kProposal[] = "C:\\Program Files\\Veltranox";

class LocationDialogTest : public testing::Test {
protected:
    void SetUp() override
    {
        memset(&g_setup, 0, sizeof g_setup);
        g_setup.instance = GetModuleHandleA(NULL);
        lstrcpyA(g_setup.installFolder, kProposal);
        backdrop_ = create_backdrop_window(g_setup.instance);
        ASSERT_NE(backdrop_, (HWND)NULL);
        g_setup.backdropWindow = backdrop_;
    }
    void TearDown() override
    {
        DestroyWindow(backdrop_);
        pump_messages(0);
        UnregisterClassA("Veltranox", g_setup.instance);
    }

    // Opens the dialog, lets `drive` act on it, returns the dialog result.
    INT_PTR run(const std::function<void(HWND)>& drive)
    {
        return run_driven(kChangeButton, [&] { return run_location_dialog(backdrop_); },
                          drive);
    }

    HWND backdrop_ = NULL;
};

TEST_F(LocationDialogTest, ShowsTheFolderReadOnlyWithInstallFocused)
{
    std::string field, afterTyping;
    bool readOnly = false, changeEnabled = false, installFocused = false;
    HWND owner = NULL;
    std::string screenshot;
    INT_PTR result = run([&](HWND dialog) {
        owner = GetWindow(dialog, GW_OWNER);
        field = robot::control_text(dialog, kFolderField);
        HWND edit = GetDlgItem(dialog, kFolderField);
        readOnly = (GetWindowLongA(edit, GWL_STYLE) & ES_READONLY) != 0;
        changeEnabled = robot::control_enabled(dialog, kChangeButton);
        installFocused = robot::wait_until(
            [&] { return focus_of(dialog) == GetDlgItem(dialog, IDOK); }, 3000);
        // Typing into the field changes nothing.
        SendMessageA(edit, WM_CHAR, 'x', 0);
        SendMessageA(edit, WM_KEYDOWN, VK_BACK, 0);
        SendMessageA(edit, WM_CHAR, VK_BACK, 0);
        afterTyping = robot::control_text(dialog, kFolderField);
        Sleep(300);
        screenshot = save_screenshot("location_dialog");
        robot::click(dialog, IDOK);
    });
    EXPECT_EQ(result, IDOK);
    EXPECT_EQ(field, kProposal);
    EXPECT_TRUE(readOnly);
    EXPECT_EQ(afterTyping, kProposal) << "the folder cannot be typed";
    EXPECT_TRUE(changeEnabled) << "no previous installation: Change... is enabled";
    EXPECT_TRUE(installFocused) << "the first tab stop, Install, has the focus";
    EXPECT_EQ(owner, backdrop_);
    EXPECT_STREQ(g_setup.installFolder, kProposal);
    if (!screenshot.empty())
        printf("screenshot: %s\n", screenshot.c_str());
}

TEST_F(LocationDialogTest, ButtonsAndKeysGiveInstallOrCancel)
{
    struct Case {
        const char* name;
        bool (*act)(HWND);
        INT_PTR expected;
    } cases[] = {
        {"Install", [](HWND d) { return robot::click(d, IDOK); }, IDOK},
        {"Cancel", [](HWND d) { return robot::click(d, IDCANCEL); }, IDCANCEL},
        {"Escape", robot::press_escape, IDCANCEL},
        {"Enter", robot::press_enter, IDOK},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        bool acted = false;
        INT_PTR result = run([&](HWND dialog) {
            robot::wait_until([&] { return focus_of(dialog) != NULL; }, 60000);
            acted = c.act(dialog);
        });
        EXPECT_TRUE(acted);
        EXPECT_EQ(result, c.expected);
    }
}

TEST_F(LocationDialogTest, PreviousInstallationDisablesChange)
{
    g_setup.previousInstallation = 1;
    bool changeEnabled = true, clicked = true;
    std::string field;
    INT_PTR result = run([&](HWND dialog) {
        changeEnabled = robot::control_enabled(dialog, kChangeButton);
        clicked = robot::click(dialog, kChangeButton);
        field = robot::control_text(dialog, kFolderField);
        robot::click(dialog, IDOK);
    });
    EXPECT_FALSE(changeEnabled);
    EXPECT_FALSE(clicked) << "a disabled button cannot be pressed";
    EXPECT_EQ(field, kProposal);
    EXPECT_EQ(result, IDOK);
}

TEST_F(LocationDialogTest, DialogWithoutOwner)
{
    HWND owner = backdrop_;
    INT_PTR result = run_driven(
        kChangeButton, [] { return run_location_dialog(NULL); },
        [&](HWND dialog) {
            owner = GetWindow(dialog, GW_OWNER);
            robot::click(dialog, IDCANCEL);
        });
    EXPECT_EQ(result, IDCANCEL);
    EXPECT_EQ(owner, (HWND)NULL);
}

// What one browse did.
struct Browse {
    bool opened = false;
    bool titled = false;
    HWND owner = NULL;
    std::string selected;   // the tree's selection before OK
    bool okEnabled = false;
    std::string field;      // the location dialog's field afterwards
    INT_PTR result = 0;     // the location dialog's result (always Cancel)
};

// Opens the browser with Change..., selects `folder` (a path, or a special
// folder id when path is null), presses OK (or Cancel when `confirm` is
// false), then cancels the location dialog.
Browse browse(const char* path, int specialFolder, bool confirm)
{
    Browse b;
    b.result = run_driven(
        kChangeButton, [] { return run_location_dialog(g_setup.backdropWindow); },
        [&](HWND dialog) {
            robot::click(dialog, kChangeButton);
            HWND browser = find_folder_browser(60000);
            b.opened = browser != NULL;
            if (browser != NULL) {
                b.owner = GetWindow(browser, GW_OWNER);
                b.titled = has_child_text(
                    browser, "A new folder will be created inside the selected folder.");
                if (path != NULL) {
                    SendMessageA(browser, BFFM_SETSELECTIONA, TRUE,
                                 reinterpret_cast<LPARAM>(path));
                } else {
                    LPITEMIDLIST item = NULL;
                    SHGetSpecialFolderLocation(NULL, specialFolder, &item);
                    SendMessageA(browser, BFFM_SETSELECTIONA, FALSE,
                                 reinterpret_cast<LPARAM>(item));
                    CoTaskMemFree(item);
                }
                b.selected = browser_selection(browser);
                b.okEnabled = robot::control_enabled(browser, IDOK);
                if (!confirm || !robot::click(browser, IDOK))
                    robot::click(browser, IDCANCEL);
                robot::wait_window_gone(browser, 60000);
            }
            b.field = robot::control_text(dialog, kFolderField);
            robot::click(dialog, IDCANCEL);
        });
    return b;
}

TEST_F(LocationDialogTest, BrowseMakesAVeltranoxFolderInsideThePickedOne)
{
    ASSERT_TRUE(CreateDirectoryA("D:\\Veltranox", NULL) ||
                GetLastError() == ERROR_ALREADY_EXISTS);
    struct Case {
        const char* picked;
        const char* expected;
    } cases[] = {
        {"D:\\", "D:\\Veltranox"},  // no second backslash after a root
        {"C:\\Program Files", "C:\\Program Files\\Veltranox"},
        {"D:\\Veltranox", "D:\\Veltranox\\Veltranox"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.picked);
        lstrcpyA(g_setup.installFolder, kProposal);
        Browse b = browse(c.picked, 0, true);
        ASSERT_TRUE(b.opened) << "no folder browser appeared";
        EXPECT_TRUE(b.titled) << "the browser's title text is missing";
        EXPECT_NE(b.owner, (HWND)NULL);
        EXPECT_NE(b.owner, backdrop_) << "the browser belongs to the location dialog";
        EXPECT_TRUE(b.okEnabled) << "selected: " << b.selected;
        EXPECT_EQ(b.field, c.expected);
        EXPECT_STREQ(g_setup.installFolder, c.expected) << "Cancel keeps a finished browse";
        EXPECT_EQ(b.result, IDCANCEL);
    }
}

TEST_F(LocationDialogTest, CancelledOrVirtualBrowseChangesNothing)
{
    Browse cancelled = browse("D:\\", 0, false);
    ASSERT_TRUE(cancelled.opened);
    EXPECT_EQ(cancelled.field, kProposal);
    EXPECT_STREQ(g_setup.installFolder, kProposal);

    // The computer itself is no file-system folder: it cannot be confirmed.
    Browse computer = browse(NULL, CSIDL_DRIVES, true);
    ASSERT_TRUE(computer.opened);
    EXPECT_FALSE(computer.okEnabled) << "selected: " << computer.selected;
    EXPECT_EQ(computer.field, kProposal);
    EXPECT_STREQ(g_setup.installFolder, kProposal);
}

TEST_F(LocationDialogTest, ProgressNoticeIsModelessAndVisibleAtOnce)
{
    lstrcpyA(g_setup.installFolder, "C:\\Somewhere");
    HWND notice = create_progress_notice(backdrop_);
    ASSERT_NE(notice, (HWND)NULL);
    EXPECT_TRUE(IsWindowVisible(notice)) << "visible from creation, without ShowWindow";
    EXPECT_EQ(GetWindow(notice, GW_OWNER), backdrop_);
    EXPECT_TRUE(has_child_text(notice, "A moment please..."));
    // Painted already, before any message is dispatched: the installation
    // that follows pumps none.
    EXPECT_FALSE(GetUpdateRect(notice, NULL, FALSE)) << "notice left unpainted";
    for (HWND child = GetWindow(notice, GW_CHILD); child != NULL;
         child = GetWindow(child, GW_HWNDNEXT))
        EXPECT_FALSE(GetUpdateRect(child, NULL, FALSE)) << "notice text left unpainted";
    EXPECT_FALSE(robot::control_exists(notice, kFolderField));
    EXPECT_FALSE(robot::control_exists(notice, kChangeButton));
    EXPECT_EQ(GetWindowLongA(notice, GWL_STYLE) & WS_CAPTION, 0);
    EXPECT_STREQ(g_setup.installFolder, "C:\\Somewhere");

    // Centred on the screen.
    RECT rect;
    GetWindowRect(notice, &rect);
    int dx = (rect.left + rect.right) / 2 - GetSystemMetrics(SM_CXSCREEN) / 2;
    int dy = (rect.top + rect.bottom) / 2 - GetSystemMetrics(SM_CYSCREEN) / 2;
    EXPECT_LE(abs(dx), 2);
    EXPECT_LE(abs(dy), 2);

    pump_messages(400);
    save_screenshot("progress_notice");
    EXPECT_TRUE(DestroyWindow(notice));
}

}  // namespace
