#include "tests/win/ui/dialog_driver.h"

#include <commctrl.h>

#include <thread>

#include "tests/support/robot.h"

INT_PTR run_driven(int controlId, const std::function<INT_PTR()>& open,
                   const std::function<void(HWND dialog)>& drive)
{
    std::thread driver([&] {
        robot::Robot watcher;
        HWND dialog = watcher.find_dialog_with_control(controlId, 60000);
        if (dialog == NULL)
            return;
        drive(dialog);
        if (!robot::wait_window_gone(dialog, 60000))
            PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
    });
    INT_PTR result = open();
    driver.join();
    return result;
}

void pump_messages(DWORD ms)
{
    DWORD end = GetTickCount() + ms;
    MSG message;
    do {
        while (PeekMessageA(&message, NULL, 0, 0, PM_REMOVE))
            if (message.message != WM_QUIT)
                DispatchMessageA(&message);
        Sleep(10);
    } while (GetTickCount() < end);
}

HWND focus_of(HWND window)
{
    GUITHREADINFO info = {};
    info.cbSize = sizeof info;
    if (!GetGUIThreadInfo(GetWindowThreadProcessId(window, NULL), &info))
        return NULL;
    return info.hwndFocus;
}

namespace {

struct BrowserSearch {
    HWND found = NULL;
};

BOOL CALLBACK find_browser_window(HWND window, LPARAM param)
{
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (process == GetCurrentProcessId() && IsWindowVisible(window) &&
        robot::is_dialog(window) &&
        FindWindowExA(window, NULL, WC_TREEVIEWA, NULL) != NULL) {
        reinterpret_cast<BrowserSearch*>(param)->found = window;
        return FALSE;
    }
    return TRUE;
}

struct TextSearch {
    std::string text;
    bool found = false;
};

BOOL CALLBACK find_child_text(HWND child, LPARAM param)
{
    TextSearch* search = reinterpret_cast<TextSearch*>(param);
    if (robot::window_text(child) == search->text) {
        search->found = true;
        return FALSE;
    }
    return TRUE;
}

}  // namespace

HWND find_folder_browser(DWORD timeoutMs)
{
    BrowserSearch search;
    robot::wait_until(
        [&] {
            EnumWindows(find_browser_window, reinterpret_cast<LPARAM>(&search));
            return search.found != NULL;
        },
        timeoutMs);
    return search.found;
}

std::string browser_selection(HWND browser)
{
    HWND tree = FindWindowExA(browser, NULL, WC_TREEVIEWA, NULL);
    HTREEITEM item = reinterpret_cast<HTREEITEM>(
        SendMessageA(tree, TVM_GETNEXTITEM, TVGN_CARET, 0));
    if (item == NULL)
        return std::string();
    char text[MAX_PATH] = "";
    TVITEMA tvItem = {};
    tvItem.mask = TVIF_TEXT;
    tvItem.hItem = item;
    tvItem.pszText = text;
    tvItem.cchTextMax = sizeof text;
    SendMessageA(tree, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&tvItem));
    return text;
}

bool has_child_text(HWND window, const std::string& text)
{
    TextSearch search;
    search.text = text;
    EnumChildWindows(window, find_child_text, reinterpret_cast<LPARAM>(&search));
    return search.found;
}
