// main() of every Windows-side test executable.
//
// A message box that no robot answers would hang the test until the
// runner's timeout. A watchdog thread answers any box of this process that
// is still up after WINETEST_BOX_GRACE_MS (default 10000; 0 turns it off)
// and fails the running test with the box's caption and text.
#include <gtest/gtest.h>
#include <windows.h>

#include <stdlib.h>

#include <algorithm>
#include <vector>

#include "tests/support/benchutil.h"
#include "tests/support/robot.h"

namespace {

DWORD WINAPI box_watchdog(void* parameter)
{
    const DWORD grace = (DWORD)(DWORD_PTR)parameter;
    robot::Robot robot;
    std::vector<std::pair<HWND, DWORD>> seen;
    for (;;) {
        Sleep(250);
        DWORD now = GetTickCount();
        std::vector<std::pair<HWND, DWORD>> still;
        for (HWND window : robot.top_level_windows()) {
            if (!robot::is_message_box(window))
                continue;
            auto found = std::find_if(seen.begin(), seen.end(),
                                      [&](const std::pair<HWND, DWORD>& e) {
                                          return e.first == window;
                                      });
            DWORD since = found == seen.end() ? now : found->second;
            if (now - since < grace) {
                still.emplace_back(window, since);
                continue;
            }
            robot::Notice notice = robot::read_message_box(window);
            ADD_FAILURE() << "a message box was left unanswered for " << grace
                          << " ms: \"" << notice.caption << "\": " << notice.text;
            int answer = notice.buttons.empty() ? IDOK : notice.buttons.front();
            for (int id : notice.buttons)
                if (id == IDOK || id == IDCANCEL)
                    answer = id;
            robot::click(window, answer);
        }
        seen.swap(still);
    }
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    apply_test_environment();
    testing::InitGoogleTest(&argc, argv);
    char value[32];
    DWORD grace = 10000;
    if (GetEnvironmentVariableA("WINETEST_BOX_GRACE_MS", value, sizeof value) != 0)
        grace = strtoul(value, nullptr, 10);
    if (grace != 0)
        CloseHandle(CreateThread(nullptr, 0, box_watchdog, (void*)(DWORD_PTR)grace, 0, nullptr));
    return RUN_ALL_TESTS();
}
