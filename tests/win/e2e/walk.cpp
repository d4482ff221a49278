#include "tests/win/e2e/walk.h"

#include <shlobj.h>
#include <stdio.h>

#include <algorithm>

namespace e2e {

namespace {

// Control ids of the setup program's dialogs.
const int kFolderField = 1000;   // location: the folder; licence: the text
const int kChangeButton = 1002;  // location dialog only
const char kProgressText[] = "A moment please...";
const char kBackdropClass[] = "Veltranox";
// Screens are given this long to paint before a screenshot is taken.
const DWORD kPaintGraceMs = 250;

HANDLE g_walked = nullptr;

bool child_shows(HWND window, const char* text)
{
    for (HWND child = GetWindow(window, GW_CHILD); child != nullptr;
         child = GetWindow(child, GW_HWNDNEXT))
        if (robot::window_text(child) == text)
            return true;
    return false;
}

// True once the backdrop's light title text is on screen: some pixel of
// the row through its letters is near white.
bool backdrop_title_painted()
{
    HDC screen = GetDC(nullptr);
    bool painted = false;
    for (int x = 12; x < 400 && !painted; ++x) {
        COLORREF pixel = GetPixel(screen, x, 40);
        painted = pixel != CLR_INVALID && GetRValue(pixel) > 200 && GetGValue(pixel) > 200;
    }
    ReleaseDC(nullptr, screen);
    return painted;
}

class Screenshots {
public:
    explicit Screenshots(const std::string& folder) : folder_(folder) {}

    void take(const char* name, WalkRecord* record, DWORD graceMs = kPaintGraceMs)
    {
        if (folder_.empty())
            return;
        Sleep(graceMs);
        char path[MAX_PATH];
        wsprintfA(path, "%s\\%d-%s.bmp", folder_.c_str(), ++count_, name);
        if (robot::save_screenshot(nullptr, path))
            record->screenshots.push_back(path);
    }

private:
    std::string folder_;
    int count_ = 0;
};

} // namespace

double clock_ms()
{
    static LARGE_INTEGER frequency = {};
    if (frequency.QuadPart == 0)
        QueryPerformanceFrequency(&frequency);
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return (double)now.QuadPart * 1000.0 / (double)frequency.QuadPart;
}

HANDLE walked_process()
{
    return g_walked;
}

WalkRecord walk_setup(const std::string& commandLine, const WalkPlan& plan, const char* folder)
{
    WalkRecord record;
    std::string line = commandLine;
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    const DWORD flags = plan.beforeStart ? CREATE_SUSPENDED : 0;
    if (!CreateProcessA(nullptr, &line[0], nullptr, nullptr, FALSE, flags, nullptr, folder,
                        &startup, &process))
        return record;
    if (plan.beforeStart) {
        if (!plan.beforeStart(process)) {
            TerminateProcess(process.hProcess, 125);
            CloseHandle(process.hThread);
            CloseHandle(process.hProcess);
            return record;
        }
        ResumeThread(process.hThread);
    }
    record.started = true;
    record.processId = process.dwProcessId;
    g_walked = process.hProcess;

    robot::Robot robot(process.dwProcessId);
    robot.watch_all_processes(bool(plan.othersRunning));
    robot.start(5);
    Screenshots screenshots(plan.screenshotFolder);
    std::vector<HWND> handled;
    bool backdropSeen = false;
    const double start = clock_ms();
    for (;;) {
        if (WaitForSingleObject(process.hProcess, 0) == WAIT_OBJECT_0 &&
            (!plan.othersRunning || !plan.othersRunning())) {
            record.endedAtMs = clock_ms();
            record.finished = true;
            break;
        }
        if (clock_ms() - start > plan.timeoutMs)
            break;
        for (HWND window : robot.top_level_windows()) {
            if (std::find(handled.begin(), handled.end(), window) != handled.end())
                continue;
            if (!backdropSeen && robot::class_name(window) == kBackdropClass) {
                backdropSeen = true;
                // As soon as it is painted, before the location dialog
                // covers part of it.
                if (!plan.screenshotFolder.empty())
                    robot::wait_until(backdrop_title_painted, 500, 2);
                screenshots.take("backdrop", &record, 0);
                continue;
            }
            if (!robot::is_dialog(window) || robot::is_message_box(window))
                continue;
            if (robot::control_exists(window, kChangeButton)) {
                handled.push_back(window);
                int showing = (int)record.locations.size();
                LocationShowing seen;
                seen.folder = robot::control_text(window, kFolderField);
                seen.changeEnabled = robot::control_enabled(window, kChangeButton);
                screenshots.take("location", &record);
                if (plan.beforeLocationButton)
                    plan.beforeLocationButton(window, showing);
                seen.folderAnswered = robot::control_text(window, kFolderField);
                record.locations.push_back(seen);
                int button = showing < (int)plan.locationButtons.size()
                                 ? plan.locationButtons[showing]
                                 : IDCANCEL;
                robot::click(window, button);
            } else if (robot::control_exists(window, kFolderField)) {
                handled.push_back(window);
                ++record.licenceShowings;
                record.licenceText = robot::control_text(window, kFolderField);
                screenshots.take("licence", &record);
                record.acceptedAtMs = clock_ms();
                robot::click(window, plan.licenceButton);
            } else if (child_shows(window, kProgressText)) {
                handled.push_back(window);
                record.progressSeen = true;
                screenshots.take("progress", &record);
            }
        }
        Sleep(2);
    }
    if (!record.finished) {
        TerminateProcess(process.hProcess, 124);
        WaitForSingleObject(process.hProcess, 5000);
    }
    GetExitCodeProcess(process.hProcess, &record.exitCode);
    robot.stop();
    record.notices = robot.notices();
    g_walked = nullptr;
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return record;
}

bool browse_to(HWND locationDialog, const std::string& folder)
{
    DWORD processId = 0;
    GetWindowThreadProcessId(locationDialog, &processId);
    if (g_walked == nullptr || !robot::click(locationDialog, kChangeButton))
        return false;
    // The browser: a dialog owned by the location dialog, with a tree view.
    HWND browser = nullptr;
    robot::Robot finder(processId);
    robot::wait_until(
        [&] {
            for (HWND window : finder.top_level_windows())
                if (GetWindow(window, GW_OWNER) == locationDialog &&
                    FindWindowExA(window, nullptr, WC_TREEVIEWA, nullptr) != nullptr)
                    browser = window;
            return browser != nullptr;
        },
        10000);
    if (browser == nullptr)
        return false;
    // A selection asked for while the browser still fills its tree can be
    // lost: ask until the tree's selection moves to a new item.
    HWND tree = FindWindowExA(browser, nullptr, WC_TREEVIEWA, nullptr);
    auto selected = [&] {
        DWORD_PTR item = 0;
        SendMessageTimeoutA(tree, TVM_GETNEXTITEM, TVGN_CARET, 0, SMTO_ABORTIFHUNG, 5000, &item);
        return item;
    };
    const DWORD_PTR initial = selected();
    // BFFM_SETSELECTION takes a path in the browser's own address space.
    SIZE_T size = folder.size() + 1;
    void* remote = VirtualAllocEx(g_walked, nullptr, size, MEM_COMMIT | MEM_RESERVE,
                                  PAGE_READWRITE);
    bool picked = remote != nullptr &&
                  WriteProcessMemory(g_walked, remote, folder.c_str(), size, nullptr);
    DWORD_PTR result = 0;
    if (picked)
        picked = robot::wait_until(
            [&] {
                return SendMessageTimeoutA(browser, BFFM_SETSELECTIONA, TRUE, (LPARAM)remote,
                                           SMTO_ABORTIFHUNG, 5000, &result) != 0 &&
                       selected() != 0 && selected() != initial;
            },
            10000, 100);
    bool confirmed = picked && robot::click(browser, IDOK);
    if (!confirmed)
        robot::click(browser, IDCANCEL);
    robot::wait_window_gone(browser, 60000);
    if (remote != nullptr)
        VirtualFreeEx(g_walked, remote, 0, MEM_RELEASE);
    return confirmed;
}

std::string describe(const std::vector<robot::Notice>& notices)
{
    std::string text;
    for (const robot::Notice& notice : notices)
        text += notice.caption + " | " + robot::escape_field(notice.text) + "\n";
    return text.empty() ? "(no notice)\n" : text;
}

} // namespace e2e
