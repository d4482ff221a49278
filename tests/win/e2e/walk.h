// Walks a setup program from a separate process as a user would: answers
// the location dialog and the licence dialog, records what each showing
// displayed, records and answers every message box, optionally saves a
// screenshot of each screen, and reports the exit code. Used by the
// end-to-end tests, by `make run` (setup-walk.exe) and by bench/install.
#pragma once
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "tests/support/robot.h"

namespace e2e {

// What one showing of the location dialog displayed.
struct LocationShowing {
    std::string folder;        // control 1000 when it appeared
    bool changeEnabled = false;
    std::string folderAnswered; // control 1000 when the button was pressed
};

struct WalkPlan {
    // The button pressed in each showing of the location dialog, in order;
    // showings beyond the list are cancelled.
    std::vector<int> locationButtons{IDOK};
    // Runs before the button of a showing is pressed (showing counts from
    // 0); may act on the dialog, e.g. browse.
    std::function<void(HWND dialog, int showing)> beforeLocationButton;
    int licenceButton = IDOK;
    // Folder for BMP screenshots of each screen (empty: none).
    std::string screenshotFolder;
    DWORD timeoutMs = 60000;
    // When set, the program is created suspended and this runs before its
    // first instruction (false: it is ended instead of started).
    std::function<bool(const PROCESS_INFORMATION&)> beforeStart;
    // Also answers the boxes of the processes the program starts, and goes
    // on after the program ended for as long as this returns true.
    std::function<bool()> othersRunning;
};

struct WalkRecord {
    bool started = false;
    bool finished = false;      // ended by itself before the timeout
    DWORD exitCode = 0;
    std::vector<LocationShowing> locations;
    int licenceShowings = 0;
    std::string licenceText;
    bool progressSeen = false;
    std::vector<robot::Notice> notices;
    std::vector<std::string> screenshots; // files written
    double acceptedAtMs = -1;   // when the licence was answered (clock_ms)
    double endedAtMs = -1;      // when the program was seen to end
    DWORD processId = 0;
};

// A millisecond clock that every process on the machine shares.
double clock_ms();

// The handle of the program being walked, for hooks that act on it.
HANDLE walked_process();

// Starts `commandLine` (current directory: `folder`, or the caller's) and
// walks it until it ends or the plan's timeout, then ends it.
WalkRecord walk_setup(const std::string& commandLine, const WalkPlan& plan,
                      const char* folder = nullptr);

// In a location dialog: Change..., pick `folder` in the folder browser,
// confirm. False when the browser did not appear or the pick failed.
bool browse_to(HWND locationDialog, const std::string& folder);

// The notices in a readable form, one a line: "caption | text".
std::string describe(const std::vector<robot::Notice>& notices);

} // namespace e2e
