// The UI robot: watches the top-level windows of one or more processes,
// reads them, presses their buttons, and records and answers every message
// box. Works from a thread inside the process under test (the test's own
// thread then sits in a modal loop: MessageBox, DialogBox) and from a
// separate driver process (robot-driver.exe); everything it does to a window
// goes through messages that cross process boundaries.
//
// Keys: press_enter/press_escape post WM_KEYDOWN/WM_KEYUP for VK_RETURN or
// VK_ESCAPE to the dialog's focused control (the dialog itself when the
// focus is elsewhere), exactly what a keyboard would deliver. The modal
// loop's IsDialogMessage then turns Enter into WM_COMMAND with the default
// button and Escape into WM_COMMAND IDCANCEL; a modeless dialog without
// IsDialogMessage in its loop ignores both, as it would for a user.
// click() posts WM_COMMAND(id, BN_CLICKED) with the button's handle, which
// is what a mouse click on an enabled button ends in; it refuses a disabled
// or missing control.
#pragma once
#include <windows.h>

#include <functional>
#include <mutex>
#include <string>
#include <vector>

namespace robot {

enum class Icon { None, Error, Warning, Information, Question, Unknown };

// One message box, as read when it appeared.
struct Notice {
    std::string caption;      // window text, e.g. "ERROR 1A"
    std::string text;         // control 0xFFFF
    Icon icon = Icon::Unknown; // known only in the box's own process
    std::vector<int> buttons; // ids of its buttons (IDOK=1, IDCANCEL=2, ...)
    HWND owner = nullptr;     // GW_OWNER: null for an unowned box
    DWORD processId = 0;
    int answer = 0;           // the button the robot pressed
};

// What a rule does to a matching dialog.
enum class Action { Press, Enter, Escape, SetText };

// "When a dialog matching this appears, do that." A dialog matches when it
// has every control in hasControls, none in lacksControls, and (when not
// empty) its caption equals caption. Rules are tried in the order they were
// added; each fires at most once per dialog window, and `times` (-1: no
// limit) bounds how often it fires in all. After a press, Enter or Escape,
// further rules wait until the dialog has been seen disabled (a box or a
// dialog in front of it): on a loaded machine the dialog may take longer
// than a poll to act on the first, and would otherwise meet the second
// too.
struct Rule {
    std::vector<int> hasControls;
    std::vector<int> lacksControls;
    std::string caption;
    Action action = Action::Press;
    int control = IDOK;        // Press: the button; SetText: the control
    std::string text;          // SetText: the new text
    int times = -1;
    DWORD delayMs = 0;         // wait this long after the dialog was first seen
};

// A rule in the driver's command-line form: "MATCH:BUTTON" where MATCH is a
// comma-separated list of control ids, !id for a control that must be
// missing, or "caption" in quotes, e.g. "1002:1" or "1000,!1002:2".
// Returns false for a malformed pattern.
bool parse_rule(const std::string& pattern, Action action, Rule* rule);

class Robot {
public:
    // Watches processId (default: this process).
    explicit Robot(DWORD processId = GetCurrentProcessId());
    ~Robot(); // stops the watch thread
    Robot(const Robot&) = delete;
    Robot& operator=(const Robot&) = delete;

    void watch_process(DWORD processId);  // one more process
    void watch_all_processes(bool all);   // any process's windows

    // Message boxes: answered with the button given for their caption, else
    // with the default answer (IDOK, or IDCANCEL, or the first button, when
    // the box has no such button). set_answer_boxes(false) leaves boxes up
    // (they are still recorded).
    void set_answer(const std::string& caption, int buttonId);
    void set_default_answer(int buttonId);
    void set_answer_boxes(bool answer);

    void add_rule(const Rule& rule);
    // Shorthand: when a dialog with control `hasControl` appears, press `button`.
    void on_dialog_press(int hasControl, int button, int times = -1);

    // The watch thread: every pollMs it answers new boxes and applies rules.
    void start(DWORD pollMs = 15);
    void stop();
    // One pass of the same work on the calling thread.
    void scan();

    // Everything recorded, in the order the boxes appeared.
    std::vector<Notice> notices() const;
    size_t notice_count() const;
    void clear_notices();
    // Waits (with the watch thread running) until at least count boxes
    // were recorded.
    bool wait_for_notices(size_t count, DWORD timeoutMs);
    // What the rules did, one line per action ("press 1 in dialog 1002,...").
    std::vector<std::string> actions() const;

    // Top-level windows of the watched processes, in Z order.
    std::vector<HWND> top_level_windows(bool visibleOnly = true) const;
    // A visible dialog (#32770, not a message box) with this control, or
    // with this caption; waits up to timeoutMs. Null when none appeared.
    HWND find_dialog_with_control(int controlId, DWORD timeoutMs = 0) const;
    HWND find_dialog_by_caption(const std::string& caption, DWORD timeoutMs = 0) const;
    HWND find_window_by_class(const std::string& className, DWORD timeoutMs = 0) const;
    HWND find_message_box(DWORD timeoutMs = 0) const;

    bool watches(DWORD processId) const;

private:
    void handle_box(HWND box);
    void apply_rules(HWND dialog);
    static DWORD WINAPI thread_main(void* self);

    mutable std::mutex mutex_;
    std::vector<DWORD> processes_;
    bool allProcesses_ = false;
    std::vector<std::pair<std::string, int>> answers_;
    int defaultAnswer_ = IDOK;
    bool answerBoxes_ = true;
    std::vector<Rule> rules_;
    std::vector<int> ruleFired_;
    std::vector<Notice> notices_;
    std::vector<std::string> actions_;
    std::vector<HWND> boxesSeen_;
    std::vector<std::pair<HWND, DWORD>> dialogsSeen_;     // first seen (tick)
    std::vector<std::pair<HWND, size_t>> rulesApplied_;   // (dialog, rule)
    // Dialogs pressed, or sent Enter or Escape, that have not been seen
    // disabled since: the posted input may still be on its way, and no
    // further rule acts on them meanwhile.
    std::vector<HWND> dialogsActedOn_;
    HANDLE thread_ = nullptr;
    HANDLE stopEvent_ = nullptr;
    DWORD pollMs_ = 15;
};

// Reading windows (any process).
std::string window_text(HWND window);      // WM_GETTEXT, 2 s timeout
std::string class_name(HWND window);
std::string control_text(HWND dialog, int controlId);
bool control_exists(HWND dialog, int controlId);
bool control_enabled(HWND dialog, int controlId);
bool control_visible(HWND dialog, int controlId);
bool is_dialog(HWND window);               // class #32770
// A message box: a #32770 dialog made by user32 itself (its instance is
// null or user32), with its text in control 0xFFFF and nothing but labels,
// its icon and standard buttons (IDOK..IDCONTINUE). Dialogs of a program
// also use 0xFFFF for labels with id -1, so class and control alone do not
// tell; their instance is the program's module.
bool is_message_box(HWND window);
Notice read_message_box(HWND box);

// Acting on windows (any process). False when the control is missing or
// disabled, or the message cannot be posted.
bool click(HWND dialog, int buttonId);
bool press_enter(HWND dialog);
bool press_escape(HWND dialog);
bool set_control_text(HWND dialog, int controlId, const std::string& text);

// Polls until done() or timeout; true when done() became true.
bool wait_until(const std::function<bool()>& done, DWORD timeoutMs, DWORD pollMs = 10);
bool wait_window_gone(HWND window, DWORD timeoutMs);

// Screenshots: the window's screen rectangle (the whole screen for null)
// as a 24-bit BMP file.
bool save_screenshot(HWND window, const char* bmpPath);

// The driver's log (robot-driver.exe --log): one record a line,
// tab-separated, texts escaped (\\ \n \r \t):
//   notice <caption> <text> <answer> <owner: 0 or 1>
//   action <what a rule did>
//   exit <code>        or    timeout <seconds>
std::string escape_field(const std::string& text);
std::string unescape_field(const std::string& field);
struct DriverLog {
    std::vector<Notice> notices;
    std::vector<std::string> actions;
    bool finished = false;   // an exit line was read
    bool timedOut = false;
    DWORD exitCode = 0;
};
bool read_driver_log(const char* path, DriverLog* log);

} // namespace robot
