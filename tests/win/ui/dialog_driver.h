// Runs a modal dialog on the test's thread while another thread acts on it
// as a user would, through the UI robot.
#pragma once
#include <windows.h>

#include <functional>
#include <string>

// Starts `drive` on a second thread once a dialog of this process with
// control `controlId` is visible, then runs `open` (which shows the dialog
// modally) on this thread and returns its result. `drive` must close the
// dialog; if it leaves it open, it is cancelled so that the test goes on.
INT_PTR run_driven(int controlId, const std::function<INT_PTR()>& open,
                   const std::function<void(HWND dialog)>& drive);

// Dispatches this thread's messages for ms milliseconds.
void pump_messages(DWORD ms);

// The window that has the keyboard focus in the thread owning `window`.
HWND focus_of(HWND window);

// A visible folder browser (a dialog with a tree view) of this process;
// waits up to timeoutMs.
HWND find_folder_browser(DWORD timeoutMs);

// The text of the tree view's selected item in a folder browser.
std::string browser_selection(HWND browser);

// True when some child of `window` shows exactly `text`.
bool has_child_text(HWND window, const std::string& text);
