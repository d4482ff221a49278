// The full-screen backdrop window that stays behind the setup dialogs.
#pragma once
#include <windows.h>

// Registers the "Veltranox" class, creates the popup window over the whole
// screen, shows it maximised and paints it at once. Returns null, and shows
// nothing, when the class cannot be registered or the window created.
HWND create_backdrop_window(HINSTANCE instance);

// The window procedure: paints on WM_ERASEBKGND, posts the quit message on
// WM_DESTROY, hands everything else to DefWindowProcA.
LRESULT CALLBACK backdrop_window_procedure(HWND window, UINT message, WPARAM wParam,
                                           LPARAM lParam);

// Paints the whole backdrop into dc, sized by the screen metrics. Every
// brush and font made here is selected out and deleted before it returns.
void paint_backdrop(HDC dc);
