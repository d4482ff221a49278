#include "tests/support/robot.h"

#include <stdio.h>
#include <string.h>

#include <algorithm>

namespace robot {

namespace {

const DWORD kMessageTimeoutMs = 1000;

DWORD process_of(HWND window)
{
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    return processId;
}

// The text a window keeps for itself; never sends a message, so it cannot
// block on a busy thread.
std::string stored_text(HWND window)
{
    WCHAR wide[4096];
    int length = InternalGetWindowText(window, wide, 4096);
    if (length <= 0)
        return std::string();
    char narrow[4096 * 2];
    int bytes = WideCharToMultiByte(CP_ACP, 0, wide, length, narrow, sizeof narrow, nullptr,
                                    nullptr);
    return std::string(narrow, bytes > 0 ? bytes : 0);
}

bool class_is(HWND window, const char* name)
{
    return lstrcmpiA(class_name(window).c_str(), name) == 0;
}

struct EnumState {
    const Robot* robot;
    std::vector<HWND>* windows;
    bool visibleOnly;
};

BOOL CALLBACK collect_window(HWND window, LPARAM parameter)
{
    EnumState* state = (EnumState*)parameter;
    if ((!state->visibleOnly || IsWindowVisible(window)) &&
        state->robot->watches(process_of(window)))
        state->windows->push_back(window);
    return TRUE;
}

void post_key(HWND target, WPARAM key)
{
    UINT scan = MapVirtualKeyA((UINT)key, 0);
    PostMessageA(target, WM_KEYDOWN, key, 1 | (scan << 16));
    PostMessageA(target, WM_KEYUP, key, 1 | (scan << 16) | (3u << 30));
}

// The control of `dialog` that has the keyboard focus, or the dialog.
HWND focus_in(HWND dialog)
{
    GUITHREADINFO info = {};
    info.cbSize = sizeof info;
    DWORD thread = GetWindowThreadProcessId(dialog, nullptr);
    if (GetGUIThreadInfo(thread, &info) && info.hwndFocus != nullptr &&
        (info.hwndFocus == dialog || IsChild(dialog, info.hwndFocus)))
        return info.hwndFocus;
    return dialog;
}

std::string describe(const Rule& rule)
{
    std::string text;
    for (int id : rule.hasControls)
        text += (text.empty() ? "" : ",") + std::to_string(id);
    for (int id : rule.lacksControls)
        text += (text.empty() ? "!" : ",!") + std::to_string(id);
    if (!rule.caption.empty())
        text += (text.empty() ? "\"" : ",\"") + rule.caption + "\"";
    return text;
}

} // namespace

// ---------------------------------------------------------------- reading

std::string class_name(HWND window)
{
    char name[256];
    int length = GetClassNameA(window, name, sizeof name);
    return std::string(name, length > 0 ? length : 0);
}

std::string window_text(HWND window)
{
    if (window == nullptr || !IsWindow(window))
        return std::string();
    // Captions, labels and buttons keep their text where it can be read
    // without a message; edit controls keep it to themselves.
    if (GetParent(window) == nullptr || class_is(window, "Static") || class_is(window, "Button"))
        return stored_text(window);
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutA(window, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG,
                             kMessageTimeoutMs, &length))
        return stored_text(window);
    std::string text(length + 1, '\0');
    DWORD_PTR copied = 0;
    if (!SendMessageTimeoutA(window, WM_GETTEXT, length + 1, (LPARAM)&text[0],
                             SMTO_ABORTIFHUNG, kMessageTimeoutMs, &copied))
        return stored_text(window);
    text.resize(std::min<size_t>(copied, length));
    return text;
}

std::string control_text(HWND dialog, int controlId)
{
    return window_text(GetDlgItem(dialog, controlId));
}

bool control_exists(HWND dialog, int controlId)
{
    return GetDlgItem(dialog, controlId) != nullptr;
}

bool control_enabled(HWND dialog, int controlId)
{
    HWND control = GetDlgItem(dialog, controlId);
    return control != nullptr && IsWindowEnabled(control);
}

bool control_visible(HWND dialog, int controlId)
{
    HWND control = GetDlgItem(dialog, controlId);
    return control != nullptr && IsWindowVisible(control);
}

bool is_dialog(HWND window)
{
    return class_name(window) == "#32770";
}

bool is_message_box(HWND window)
{
    static HMODULE user32 = GetModuleHandleA("user32.dll");
    if (!is_dialog(window) || GetDlgItem(window, 0xFFFF) == nullptr)
        return false;
    // Made by user32 itself (Wine leaves the instance null), not from a
    // program's template; only labels, the icon and standard buttons.
    HMODULE instance = (HMODULE)GetWindowLongPtrA(window, GWLP_HINSTANCE);
    if (instance != nullptr && instance != user32)
        return false;
    int buttons = 0;
    for (HWND child = GetWindow(window, GW_CHILD); child != nullptr;
         child = GetWindow(child, GW_HWNDNEXT)) {
        if (class_is(child, "Button")) {
            int id = GetDlgCtrlID(child);
            if (id < IDOK || id > 11) // IDOK .. IDCONTINUE
                return false;
            ++buttons;
        } else if (!class_is(child, "Static")) {
            return false;
        }
    }
    return buttons > 0;
}

Notice read_message_box(HWND box)
{
    Notice notice;
    notice.caption = window_text(box);
    notice.text = control_text(box, 0xFFFF);
    notice.owner = GetWindow(box, GW_OWNER);
    notice.processId = process_of(box);
    HWND iconControl = nullptr;
    for (HWND child = GetWindow(box, GW_CHILD); child != nullptr;
         child = GetWindow(child, GW_HWNDNEXT)) {
        if (class_is(child, "Button"))
            notice.buttons.push_back(GetDlgCtrlID(child));
        else if (class_is(child, "Static") &&
                 (GetWindowLongA(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON)
            iconControl = child;
    }
    std::sort(notice.buttons.begin(), notice.buttons.end());
    // Icon handles mean something only in the process that loaded them.
    if (notice.processId == GetCurrentProcessId()) {
        DWORD_PTR icon = 0;
        if (iconControl == nullptr || !IsWindowVisible(iconControl) ||
            !SendMessageTimeoutA(iconControl, STM_GETICON, 0, 0, SMTO_ABORTIFHUNG,
                                 kMessageTimeoutMs, &icon) ||
            icon == 0) {
            notice.icon = Icon::None;
        } else if ((HICON)icon == LoadIcon(nullptr, IDI_HAND)) {
            notice.icon = Icon::Error;
        } else if ((HICON)icon == LoadIcon(nullptr, IDI_EXCLAMATION)) {
            notice.icon = Icon::Warning;
        } else if ((HICON)icon == LoadIcon(nullptr, IDI_ASTERISK)) {
            notice.icon = Icon::Information;
        } else if ((HICON)icon == LoadIcon(nullptr, IDI_QUESTION)) {
            notice.icon = Icon::Question;
        }
    }
    return notice;
}

// ---------------------------------------------------------------- acting

bool click(HWND dialog, int buttonId)
{
    HWND button = GetDlgItem(dialog, buttonId);
    if (button == nullptr || !IsWindowEnabled(button))
        return false;
    return PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(buttonId, BN_CLICKED), (LPARAM)button);
}

bool press_enter(HWND dialog)
{
    if (!IsWindow(dialog))
        return false;
    post_key(focus_in(dialog), VK_RETURN);
    return true;
}

bool press_escape(HWND dialog)
{
    if (!IsWindow(dialog))
        return false;
    post_key(focus_in(dialog), VK_ESCAPE);
    return true;
}

bool set_control_text(HWND dialog, int controlId, const std::string& text)
{
    HWND control = GetDlgItem(dialog, controlId);
    DWORD_PTR result = 0;
    return control != nullptr &&
           SendMessageTimeoutA(control, WM_SETTEXT, 0, (LPARAM)text.c_str(), SMTO_ABORTIFHUNG,
                               kMessageTimeoutMs, &result) &&
           result != 0;
}

bool wait_until(const std::function<bool()>& done, DWORD timeoutMs, DWORD pollMs)
{
    DWORD start = GetTickCount();
    for (;;) {
        if (done())
            return true;
        if (GetTickCount() - start >= timeoutMs)
            return false;
        Sleep(pollMs);
    }
}

bool wait_window_gone(HWND window, DWORD timeoutMs)
{
    return wait_until([window] { return !IsWindow(window); }, timeoutMs);
}

// ---------------------------------------------------------------- rules

bool parse_rule(const std::string& pattern, Action action, Rule* rule)
{
    *rule = Rule();
    rule->action = action;
    std::string match = pattern;
    if (action == Action::Press || action == Action::SetText) {
        // MATCH:BUTTON, or MATCH:CONTROL=TEXT for SetText; the text may hold
        // colons, the pattern's caption may too (in quotes).
        size_t end = 0;
        if (!match.empty() && match[0] == '"') {
            end = match.find('"', 1);
            if (end == std::string::npos)
                return false;
        }
        size_t equals = action == Action::SetText ? match.find('=', end) : std::string::npos;
        if (action == Action::SetText && equals == std::string::npos)
            return false;
        std::string head = action == Action::SetText ? match.substr(0, equals) : match;
        size_t colon = head.rfind(':');
        if (colon == std::string::npos || colon < end)
            return false;
        const char* number = head.c_str() + colon + 1;
        char* stop = nullptr;
        rule->control = (int)strtol(number, &stop, 0);
        if (stop == number || *stop != '\0')
            return false;
        if (action == Action::SetText)
            rule->text = match.substr(equals + 1);
        match = head.substr(0, colon);
    }
    size_t position = 0;
    while (position < match.size()) {
        if (match[position] == '"') {
            size_t close = match.find('"', position + 1);
            if (close == std::string::npos)
                return false;
            rule->caption = match.substr(position + 1, close - position - 1);
            position = close + 1;
        } else {
            bool lacks = match[position] == '!';
            const char* number = match.c_str() + position + (lacks ? 1 : 0);
            char* stop = nullptr;
            long id = strtol(number, &stop, 0);
            if (stop == number)
                return false;
            (lacks ? rule->lacksControls : rule->hasControls).push_back((int)id);
            position = stop - match.c_str();
        }
        if (position < match.size() && match[position] != ',')
            return false;
        if (position < match.size())
            ++position;
    }
    return !rule->hasControls.empty() || !rule->caption.empty();
}

// ---------------------------------------------------------------- Robot

Robot::Robot(DWORD processId)
{
    processes_.push_back(processId);
}

Robot::~Robot()
{
    stop();
}

void Robot::watch_process(DWORD processId)
{
    std::lock_guard<std::mutex> lock(mutex_);
    processes_.push_back(processId);
}

void Robot::watch_all_processes(bool all)
{
    std::lock_guard<std::mutex> lock(mutex_);
    allProcesses_ = all;
}

void Robot::set_answer(const std::string& caption, int buttonId)
{
    std::lock_guard<std::mutex> lock(mutex_);
    answers_.emplace_back(caption, buttonId);
}

void Robot::set_default_answer(int buttonId)
{
    std::lock_guard<std::mutex> lock(mutex_);
    defaultAnswer_ = buttonId;
}

void Robot::set_answer_boxes(bool answer)
{
    std::lock_guard<std::mutex> lock(mutex_);
    answerBoxes_ = answer;
}

void Robot::add_rule(const Rule& rule)
{
    std::lock_guard<std::mutex> lock(mutex_);
    rules_.push_back(rule);
    ruleFired_.push_back(0);
}

void Robot::on_dialog_press(int hasControl, int button, int times)
{
    Rule rule;
    rule.hasControls.push_back(hasControl);
    rule.control = button;
    rule.times = times;
    add_rule(rule);
}

bool Robot::watches(DWORD processId) const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return allProcesses_ ||
           std::find(processes_.begin(), processes_.end(), processId) != processes_.end();
}

std::vector<HWND> Robot::top_level_windows(bool visibleOnly) const
{
    std::vector<HWND> windows;
    EnumState state = {this, &windows, visibleOnly};
    EnumWindows(collect_window, (LPARAM)&state);
    return windows;
}

HWND Robot::find_dialog_with_control(int controlId, DWORD timeoutMs) const
{
    HWND found = nullptr;
    wait_until(
        [&] {
            for (HWND window : top_level_windows())
                if (is_dialog(window) && !is_message_box(window) &&
                    GetDlgItem(window, controlId) != nullptr) {
                    found = window;
                    return true;
                }
            return false;
        },
        timeoutMs);
    return found;
}

HWND Robot::find_dialog_by_caption(const std::string& caption, DWORD timeoutMs) const
{
    HWND found = nullptr;
    wait_until(
        [&] {
            for (HWND window : top_level_windows())
                if (is_dialog(window) && window_text(window) == caption) {
                    found = window;
                    return true;
                }
            return false;
        },
        timeoutMs);
    return found;
}

HWND Robot::find_window_by_class(const std::string& className, DWORD timeoutMs) const
{
    HWND found = nullptr;
    wait_until(
        [&] {
            for (HWND window : top_level_windows())
                if (lstrcmpiA(class_name(window).c_str(), className.c_str()) == 0) {
                    found = window;
                    return true;
                }
            return false;
        },
        timeoutMs);
    return found;
}

HWND Robot::find_message_box(DWORD timeoutMs) const
{
    HWND found = nullptr;
    wait_until(
        [&] {
            for (HWND window : top_level_windows())
                if (is_message_box(window)) {
                    found = window;
                    return true;
                }
            return false;
        },
        timeoutMs);
    return found;
}

void Robot::handle_box(HWND box)
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (std::find(boxesSeen_.begin(), boxesSeen_.end(), box) != boxesSeen_.end())
            return;
    }
    Notice notice = read_message_box(box);
    bool answer;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        boxesSeen_.push_back(box);
        answer = answerBoxes_;
        int wanted = defaultAnswer_;
        bool byCaption = false;
        for (auto& entry : answers_)
            if (entry.first == notice.caption) {
                wanted = entry.second;
                byCaption = true;
            }
        auto has = [&](int id) {
            return std::find(notice.buttons.begin(), notice.buttons.end(), id) !=
                   notice.buttons.end();
        };
        if (!byCaption && !has(wanted))
            wanted = has(IDOK) ? IDOK
                     : has(IDCANCEL) ? IDCANCEL
                     : notice.buttons.empty() ? IDOK : notice.buttons.front();
        notice.answer = answer ? wanted : 0;
        notices_.push_back(notice);
    }
    if (answer)
        PostMessageA(box, WM_COMMAND, MAKEWPARAM(notice.answer, BN_CLICKED),
                     (LPARAM)GetDlgItem(box, notice.answer));
}

void Robot::apply_rules(HWND dialog)
{
    bool enabled = IsWindowEnabled(dialog) != FALSE;
    DWORD now = GetTickCount();
    std::vector<std::pair<size_t, Rule>> due;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        auto actedOn = std::find(dialogsActedOn_.begin(), dialogsActedOn_.end(), dialog);
        if (!enabled) {
            // A box or the folder browser is in front of it: whatever was
            // sent to it has arrived.
            if (actedOn != dialogsActedOn_.end())
                dialogsActedOn_.erase(actedOn);
            return;
        }
        if (rules_.empty() || actedOn != dialogsActedOn_.end())
            return;
        DWORD firstSeen = now;
        auto seen = std::find_if(dialogsSeen_.begin(), dialogsSeen_.end(),
                                 [&](const std::pair<HWND, DWORD>& e) { return e.first == dialog; });
        if (seen == dialogsSeen_.end())
            dialogsSeen_.emplace_back(dialog, now);
        else
            firstSeen = seen->second;
        for (size_t i = 0; i < rules_.size(); ++i) {
            if (rules_[i].times >= 0 && ruleFired_[i] >= rules_[i].times)
                continue;
            if (std::find(rulesApplied_.begin(), rulesApplied_.end(),
                          std::make_pair(dialog, i)) != rulesApplied_.end())
                continue;
            if (now - firstSeen < rules_[i].delayMs)
                continue;
            due.emplace_back(i, rules_[i]);
        }
    }
    for (auto& entry : due) {
        const Rule& rule = entry.second;
        bool matches = rule.caption.empty() || window_text(dialog) == rule.caption;
        for (int id : rule.hasControls)
            matches = matches && GetDlgItem(dialog, id) != nullptr;
        for (int id : rule.lacksControls)
            matches = matches && GetDlgItem(dialog, id) == nullptr;
        if (!matches)
            continue;
        bool done = false;
        std::string what;
        switch (rule.action) {
        case Action::Press:
            done = click(dialog, rule.control);
            what = "press " + std::to_string(rule.control);
            break;
        case Action::Enter:
            done = press_enter(dialog);
            what = "enter";
            break;
        case Action::Escape:
            done = press_escape(dialog);
            what = "escape";
            break;
        case Action::SetText:
            done = set_control_text(dialog, rule.control, rule.text);
            what = "set " + std::to_string(rule.control) + " to " + rule.text;
            break;
        }
        if (!done)
            continue; // e.g. the button is still disabled: try again later
        {
            std::lock_guard<std::mutex> lock(mutex_);
            rulesApplied_.emplace_back(dialog, entry.first);
            ++ruleFired_[entry.first];
            actions_.push_back(what + " in dialog " + describe(rule));
            if (rule.action != Action::SetText)
                dialogsActedOn_.push_back(dialog);
        }
        if (rule.action != Action::SetText)
            break; // the dialog is on its way out
    }
}

void Robot::scan()
{
    for (HWND window : top_level_windows()) {
        if (is_message_box(window))
            handle_box(window);
        else
            apply_rules(window);
    }
    // Forget windows that are gone, so that a reused handle is new again.
    std::lock_guard<std::mutex> lock(mutex_);
    boxesSeen_.erase(std::remove_if(boxesSeen_.begin(), boxesSeen_.end(),
                                    [](HWND w) { return !IsWindow(w); }),
                     boxesSeen_.end());
    dialogsSeen_.erase(std::remove_if(dialogsSeen_.begin(), dialogsSeen_.end(),
                                      [](const std::pair<HWND, DWORD>& e) {
                                          return !IsWindow(e.first);
                                      }),
                       dialogsSeen_.end());
    rulesApplied_.erase(std::remove_if(rulesApplied_.begin(), rulesApplied_.end(),
                                       [](const std::pair<HWND, size_t>& e) {
                                           return !IsWindow(e.first);
                                       }),
                        rulesApplied_.end());
    dialogsActedOn_.erase(std::remove_if(dialogsActedOn_.begin(), dialogsActedOn_.end(),
                                         [](HWND w) { return !IsWindow(w); }),
                          dialogsActedOn_.end());
}

DWORD WINAPI Robot::thread_main(void* self)
{
    Robot* robot = (Robot*)self;
    while (WaitForSingleObject(robot->stopEvent_, robot->pollMs_) == WAIT_TIMEOUT)
        robot->scan();
    return 0;
}

void Robot::start(DWORD pollMs)
{
    if (thread_ != nullptr)
        return;
    pollMs_ = pollMs;
    stopEvent_ = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    thread_ = CreateThread(nullptr, 0, thread_main, this, 0, nullptr);
}

void Robot::stop()
{
    if (thread_ == nullptr)
        return;
    SetEvent(stopEvent_);
    WaitForSingleObject(thread_, INFINITE);
    CloseHandle(thread_);
    CloseHandle(stopEvent_);
    thread_ = nullptr;
    stopEvent_ = nullptr;
}

std::vector<Notice> Robot::notices() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return notices_;
}

size_t Robot::notice_count() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return notices_.size();
}

void Robot::clear_notices()
{
    std::lock_guard<std::mutex> lock(mutex_);
    notices_.clear();
}

bool Robot::wait_for_notices(size_t count, DWORD timeoutMs)
{
    return wait_until(
        [&] {
            if (thread_ == nullptr)
                scan();
            return notice_count() >= count;
        },
        timeoutMs);
}

std::vector<std::string> Robot::actions() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return actions_;
}

// ---------------------------------------------------------------- screenshots

bool save_screenshot(HWND window, const char* bmpPath)
{
    RECT area = {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    if (window != nullptr && !GetWindowRect(window, &area))
        return false;
    int width = area.right - area.left, height = area.bottom - area.top;
    if (width <= 0 || height <= 0)
        return false;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = height; // bottom-up, as BMP files store rows
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP dib = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    bool saved = false;
    if (dib != nullptr) {
        HGDIOBJ previous = SelectObject(memory, dib);
        BitBlt(memory, 0, 0, width, height, screen, area.left, area.top, SRCCOPY | CAPTUREBLT);
        GdiFlush();
        DWORD stride = ((DWORD)width * 3 + 3) & ~3u;
        DWORD imageSize = stride * (DWORD)height;
        BITMAPFILEHEADER header = {};
        header.bfType = 0x4D42;
        header.bfOffBits = sizeof header + sizeof info.bmiHeader;
        header.bfSize = header.bfOffBits + imageSize;
        info.bmiHeader.biSizeImage = imageSize;
        FILE* file = fopen(bmpPath, "wb");
        if (file != nullptr) {
            saved = fwrite(&header, sizeof header, 1, file) == 1 &&
                    fwrite(&info.bmiHeader, sizeof info.bmiHeader, 1, file) == 1 &&
                    fwrite(bits, imageSize, 1, file) == 1;
            saved = fclose(file) == 0 && saved;
        }
        SelectObject(memory, previous);
        DeleteObject(dib);
    }
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return saved;
}

// ---------------------------------------------------------------- driver log

std::string escape_field(const std::string& text)
{
    std::string out;
    for (char c : text) {
        switch (c) {
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default: out += c;
        }
    }
    return out;
}

std::string unescape_field(const std::string& field)
{
    std::string out;
    for (size_t i = 0; i < field.size(); ++i) {
        if (field[i] != '\\' || i + 1 == field.size()) {
            out += field[i];
            continue;
        }
        char next = field[++i];
        out += next == 'n' ? '\n' : next == 'r' ? '\r' : next == 't' ? '\t' : next;
    }
    return out;
}

bool read_driver_log(const char* path, DriverLog* log)
{
    *log = DriverLog();
    FILE* file = fopen(path, "rb");
    if (file == nullptr)
        return false;
    std::string content;
    char chunk[4096];
    size_t got;
    while ((got = fread(chunk, 1, sizeof chunk, file)) > 0)
        content.append(chunk, got);
    fclose(file);
    size_t start = 0;
    while (start < content.size()) {
        size_t end = content.find('\n', start);
        if (end == std::string::npos)
            end = content.size();
        std::string line = content.substr(start, end - start);
        start = end + 1;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        std::vector<std::string> fields;
        size_t from = 0;
        for (;;) {
            size_t tab = line.find('\t', from);
            fields.push_back(unescape_field(line.substr(from, tab - from)));
            if (tab == std::string::npos)
                break;
            from = tab + 1;
        }
        if (fields[0] == "notice" && fields.size() >= 5) {
            Notice notice;
            notice.caption = fields[1];
            notice.text = fields[2];
            notice.answer = atoi(fields[3].c_str());
            notice.owner = (HWND)(INT_PTR)atoi(fields[4].c_str());
            log->notices.push_back(notice);
        } else if (fields[0] == "action" && fields.size() >= 2) {
            log->actions.push_back(fields[1]);
        } else if (fields[0] == "exit" && fields.size() >= 2) {
            log->finished = true;
            log->exitCode = strtoul(fields[1].c_str(), nullptr, 0);
        } else if (fields[0] == "timeout") {
            log->timedOut = true;
        }
    }
    return true;
}

} // namespace robot
