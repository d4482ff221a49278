// setup-walk.exe: takes a setup program down the default path (Install,
// Accept, OK in every box), saves a screenshot of each screen, then
// screenshots and closes the program it started. `make run` uses it on a
// machine without a display.
//
// usage: setup-walk.exe [--shots FOLDER] [--timeout S] PROGRAM
// Prints what it saw, one line each. Exit code: the setup program's; 124
// when it was ended at the timeout; 125 when it could not be started; 3
// when the installed program did not appear.
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>

#include "tests/support/benchutil.h"
#include "tests/win/e2e/walk.h"

namespace {

const char kMainWindowClass[] = "Veltranox2003Main";

} // namespace

int main(int argc, char** argv)
{
    apply_test_environment();
    e2e::WalkPlan plan;
    int i = 1;
    for (; i + 1 < argc && strncmp(argv[i], "--", 2) == 0; i += 2) {
        if (strcmp(argv[i], "--shots") == 0)
            plan.screenshotFolder = argv[i + 1];
        else if (strcmp(argv[i], "--timeout") == 0)
            plan.timeoutMs = strtoul(argv[i + 1], nullptr, 10) * 1000;
        else
            break;
    }
    if (i != argc - 1) {
        fprintf(stderr, "usage: setup-walk.exe [--shots FOLDER] [--timeout S] PROGRAM\n");
        return 125;
    }
    if (!plan.screenshotFolder.empty())
        CreateDirectoryA(plan.screenshotFolder.c_str(), nullptr);

    e2e::WalkRecord record = e2e::walk_setup(std::string("\"") + argv[i] + "\"", plan);
    if (!record.started) {
        printf("walk: %s could not be started (error %lu)\n", argv[i], GetLastError());
        return 125;
    }
    for (const e2e::LocationShowing& showing : record.locations)
        printf("walk: location dialog: %s%s -> Install\n", showing.folder.c_str(),
               showing.changeEnabled ? "" : " (Change... disabled: previous installation)");
    if (record.licenceShowings > 0)
        printf("walk: licence dialog -> Accept\n");
    if (record.progressSeen)
        printf("walk: progress notice shown\n");
    for (const robot::Notice& notice : record.notices)
        printf("walk: message box \"%s\": %s\n", notice.caption.c_str(),
               robot::escape_field(notice.text).c_str());
    if (!record.finished) {
        printf("walk: still running after %lu s; ended\n", plan.timeoutMs / 1000);
        return 124;
    }
    printf("walk: setup program exited with %lu\n", record.exitCode);

    // The installed program, started by the setup program.
    robot::Robot anyone;
    anyone.watch_all_processes(true);
    HWND main = anyone.find_window_by_class(kMainWindowClass, 20000);
    if (main == nullptr) {
        printf("walk: the installed program did not appear\n");
        return record.exitCode != 0 ? (int)record.exitCode : 3;
    }
    if (!plan.screenshotFolder.empty()) {
        Sleep(500);
        std::string path = plan.screenshotFolder + "\\" +
                           std::to_string(record.screenshots.size() + 1) + "-main-program.bmp";
        robot::save_screenshot(nullptr, path.c_str());
    }
    printf("walk: installed program started%s; closing it\n",
           IsZoomed(main) ? " maximised" : "");
    PostMessageA(main, WM_CLOSE, 0, 0);
    robot::wait_window_gone(main, 10000);
    return (int)record.exitCode;
}
