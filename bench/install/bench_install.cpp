// Installation benchmark, run by bench/install.sh in a fresh Wine prefix.
// Each round installs the release on a clean machine twice, in the same
// prefix and into the same folder: once with the setup program, walked by
// the UI robot (Install, Accept), once with an NSIS installer that carries
// the same files and runs silently. Both end by starting the installed
// program; the time counted is from Accept (ours) or from the installer's
// start (NSIS) to the installed program's main window. Medians are printed.
//
// usage: bench_install.exe ROUNDS SETUP_PROGRAM NSIS_INSTALLER
#include <windows.h>
#include <shlobj.h>
#include <shlwapi.h>

#include <stdio.h>
#include <stdlib.h>

#include <algorithm>
#include <string>
#include <vector>

#include "tests/support/benchutil.h"
#include "tests/win/e2e/walk.h"

namespace {

const char kInstallFolder[] = "C:\\Program Files (x86)\\Veltranox";
const char kMainWindowClass[] = "Veltranox2003Main";
const char kLinkName[] = "\\Veltranox 2003.lnk";
// The sleeps the setup program makes on a first installation: the 100 ms
// before "image.tmp" is opened. The image replaces the main program in one
// move, and the deletions of "data.tmp" succeed at once.
const double kSpecifiedSleepsMs = 100;

std::string folder_of(int csidl)
{
    char path[MAX_PATH] = "";
    SHGetFolderPathA(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path);
    return path;
}

// Back to a machine on which nothing was installed.
void clean_machine()
{
    remove_tree(kInstallFolder);
    char windows[MAX_PATH];
    GetWindowsDirectoryA(windows, MAX_PATH);
    for (const char* name : {"\\vmon03.exe", "\\vcluins1.exe"}) {
        std::string path = std::string(windows) + name;
        SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileA(path.c_str());
    }
    SHDeleteKeyA(HKEY_CURRENT_USER, "Software\\Tervick");
    SHDeleteKeyA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Tervick");
    SHDeleteKeyA(HKEY_LOCAL_MACHINE,
                 "Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\Veltranox.exe");
    SHDeleteKeyA(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Veltranox");
    for (int csidl : {CSIDL_STARTMENU, CSIDL_DESKTOPDIRECTORY})
        DeleteFileA((folder_of(csidl) + kLinkName).c_str());
    for (int csidl : {CSIDL_LOCAL_APPDATA, CSIDL_APPDATA})
        DeleteFileA((folder_of(csidl) + "\\Microsoft\\Internet Explorer\\Quick Launch" + kLinkName)
                        .c_str());
}

// Waits on its own thread for the installed program's main window and
// notes when it appeared.
class MainWindowWatch {
public:
    MainWindowWatch() { thread_ = CreateThread(nullptr, 0, run, this, 0, nullptr); }
    ~MainWindowWatch()
    {
        stop_ = true;
        WaitForSingleObject(thread_, INFINITE);
        CloseHandle(thread_);
    }
    // The time it appeared (e2e::clock_ms), or -1 after timeoutMs.
    double wait(DWORD timeoutMs)
    {
        WaitForSingleObject(thread_, timeoutMs);
        return seenAt_;
    }
    HWND window() const { return window_; }

private:
    static DWORD WINAPI run(void* self)
    {
        MainWindowWatch* watch = static_cast<MainWindowWatch*>(self);
        while (!watch->stop_) {
            HWND window = FindWindowA(kMainWindowClass, nullptr);
            if (window != nullptr) {
                watch->seenAt_ = e2e::clock_ms();
                watch->window_ = window;
                return 0;
            }
            Sleep(1);
        }
        return 0;
    }

    HANDLE thread_;
    volatile bool stop_ = false;
    volatile double seenAt_ = -1;
    HWND window_ = nullptr;
};

// Closes the installed program and waits until it has ended, so that its
// file can be removed.
void close_main_program(HWND window)
{
    if (window == nullptr)
        return;
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, processId);
    PostMessageA(window, WM_CLOSE, 0, 0);
    if (process != nullptr) {
        WaitForSingleObject(process, 10000);
        CloseHandle(process);
    }
}

struct Times {
    double toMainWindow = -1; // ms
    double toExit = -1;       // ms
};

Times run_ours(const std::string& setup)
{
    Times times;
    MainWindowWatch watch;
    e2e::WalkRecord record = e2e::walk_setup("\"" + setup + "\"", e2e::WalkPlan());
    double seen = watch.wait(20000);
    if (!record.finished || record.acceptedAtMs < 0 || !record.notices.empty()) {
        fprintf(stderr, "bench: the setup program did not install cleanly (%s)\n",
                e2e::describe(record.notices).c_str());
        return times;
    }
    if (seen >= 0)
        times.toMainWindow = seen - record.acceptedAtMs;
    times.toExit = record.endedAtMs - record.acceptedAtMs;
    close_main_program(watch.window());
    return times;
}

Times run_nsis(const std::string& installer)
{
    Times times;
    MainWindowWatch watch;
    std::string line = "\"" + installer + "\" /S";
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    double start = e2e::clock_ms();
    if (!CreateProcessA(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &process)) {
        fprintf(stderr, "bench: %s cannot be started\n", installer.c_str());
        return times;
    }
    if (WaitForSingleObject(process.hProcess, 60000) == WAIT_OBJECT_0)
        times.toExit = e2e::clock_ms() - start;
    double seen = watch.wait(20000);
    if (seen >= 0)
        times.toMainWindow = seen - start;
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    close_main_program(watch.window());
    return times;
}

double median(std::vector<double> values)
{
    values.erase(std::remove(values.begin(), values.end(), -1.0), values.end());
    if (values.empty())
        return -1;
    std::sort(values.begin(), values.end());
    size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

} // namespace

int main(int argc, char** argv)
{
    apply_test_environment();
    if (argc != 4) {
        fprintf(stderr, "usage: bench_install.exe ROUNDS SETUP_PROGRAM NSIS_INSTALLER\n");
        return 2;
    }
    int rounds = atoi(argv[1]);
    std::string setup = argv[2], nsis = argv[3];
    // A browser would have made the Quick Launch folders (ours, NSIS's).
    for (int csidl : {CSIDL_LOCAL_APPDATA, CSIDL_APPDATA})
        SHCreateDirectoryExA(nullptr,
                             (folder_of(csidl) + "\\Microsoft\\Internet Explorer\\Quick Launch").c_str(),
                             nullptr);

    // One round to warm the caches, not counted.
    std::vector<double> oursMain, oursExit, nsisMain, nsisExit;
    for (int round = 0; round <= rounds; ++round) {
        clean_machine();
        Times ours = run_ours(setup);
        clean_machine();
        Times theirs = run_nsis(nsis);
        if (round == 0)
            continue;
        oursMain.push_back(ours.toMainWindow);
        oursExit.push_back(ours.toExit);
        nsisMain.push_back(theirs.toMainWindow);
        nsisExit.push_back(theirs.toExit);
        printf("round %d: ours %.0f ms to the program (%.0f ms to its own end), "
               "NSIS %.0f ms (%.0f ms)\n",
               round, ours.toMainWindow, ours.toExit, theirs.toMainWindow, theirs.toExit);
    }
    clean_machine();

    double ours = median(oursMain), theirs = median(nsisMain);
    if (ours < 0 || theirs < 0) {
        fprintf(stderr, "bench: an installation did not start the program\n");
        return 1;
    }
    printf("\nInstall time, median of %d first installations in one prefix (ms):\n", rounds);
    printf("                                      setup program   NSIS (silent)\n");
    printf("  counted from                               Accept   its own start\n");
    printf("  to the program's main window             %8.0f        %8.0f\n", ours, theirs);
    printf("  of which the specified sleeps            %8.0f               -\n",
           kSpecifiedSleepsMs);
    printf("  without the specified sleeps             %8.0f        %8.0f\n",
           ours - kSpecifiedSleepsMs, theirs);
    printf("  to the installer's own end               %8.0f        %8.0f\n", median(oursExit),
           median(nsisExit));
    printf("  goal, ours without the sleeps <= NSIS:   %s (%.2f x NSIS)\n",
           ours - kSpecifiedSleepsMs <= theirs ? "met" : "NOT met",
           (ours - kSpecifiedSleepsMs) / theirs);
    return 0;
}
