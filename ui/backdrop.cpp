#include "ui/backdrop.h"

#include <string.h>

#include "common/names.h"
#include "resources/resource_ids.h"

namespace {

const char kPattern[] = "VELTRANOX";
const char kTitle[] = "Veltranox 2003";
const char kSubtitle[] = "Professional Screenwriting Software";
// The leading blank is part of the face name the backdrop has always asked for.
const char kTitleFace[] = " MS Sans Serif";

const int kRowHeight = 19;   // pattern rows are this far apart
const int kRowShift = 95;    // each row starts this much further left

HFONT create_font(LONG height, BYTE italic, const char* face)
{
    LOGFONTA font;
    memset(&font, 0, sizeof font);
    font.lfHeight = height;
    font.lfItalic = italic;
    lstrcpynA(font.lfFaceName, face, LF_FACESIZE);
    return CreateFontIndirectA(&font);
}

// Draws text twice: the dark shadow 6 right and below, then the light text.
void draw_with_shadow(HDC dc, const char* text)
{
    int length = lstrlenA(text);
    SetTextColor(dc, RGB(32, 0, 0));
    TextOutA(dc, 18, 66, text, length);
    SetTextColor(dc, RGB(240, 240, 240));
    TextOutA(dc, 12, 60, text, length);
}

void paint_pattern(HDC dc, int width, int height)
{
    HFONT font = create_font(-18, TRUE, "Symbol");
    HGDIOBJ kept = font != NULL ? SelectObject(dc, font) : NULL;
    SetTextColor(dc, RGB(56, 0, 0));
    SIZE extent = {0, 0};
    GetTextExtentPointA(dc, kPattern, sizeof kPattern - 1, &extent);
    int textWidth = extent.cx;
    // Copies overlap by one unit. A width that would not move x forward
    // (a failed measurement) would never end a row: draw no pattern then.
    int advance = textWidth - 1;
    if (advance > 0) {
        int rowStart = 0;
        for (int y = 0; y < height; y += kRowHeight, rowStart -= kRowShift) {
            for (int x = rowStart; x < width; x += advance) {
                if (x + textWidth >= 0)   // skip copies wholly left of the screen
                    TextOutA(dc, x, y, kPattern, sizeof kPattern - 1);
            }
        }
    }
    if (kept != NULL)
        SelectObject(dc, kept);
    if (font != NULL)
        DeleteObject(font);
}

}  // namespace

void paint_backdrop(HDC dc)
{
    int width = GetSystemMetrics(SM_CXSCREEN);
    int height = GetSystemMetrics(SM_CYSCREEN);

    HBRUSH background = CreateSolidBrush(RGB(64, 0, 0));
    HGDIOBJ keptBrush = background != NULL ? SelectObject(dc, background) : NULL;
    Rectangle(dc, 0, 0, width, height);
    SetBkMode(dc, TRANSPARENT);

    if (height > 0)
        paint_pattern(dc, width, height);

    HFONT title = create_font(-48, FALSE, kTitleFace);
    HGDIOBJ keptFont = title != NULL ? SelectObject(dc, title) : NULL;
    SetTextAlign(dc, TA_BOTTOM | TA_LEFT);
    draw_with_shadow(dc, kTitle);
    if (keptFont != NULL)
        SelectObject(dc, keptFont);
    if (title != NULL)
        DeleteObject(title);

    HFONT subtitle = create_font(-36, FALSE, kTitleFace);
    keptFont = subtitle != NULL ? SelectObject(dc, subtitle) : NULL;
    SetTextAlign(dc, TA_TOP | TA_LEFT);
    draw_with_shadow(dc, kSubtitle);

    if (keptBrush != NULL)
        SelectObject(dc, keptBrush);
    if (background != NULL)
        DeleteObject(background);
    if (keptFont != NULL)
        SelectObject(dc, keptFont);
    if (subtitle != NULL)
        DeleteObject(subtitle);
}

LRESULT CALLBACK backdrop_window_procedure(HWND window, UINT message, WPARAM wParam,
                                           LPARAM lParam)
{
    switch (message) {
    case WM_CREATE:
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    case WM_ERASEBKGND:
        paint_backdrop(reinterpret_cast<HDC>(wParam));
        return 1;
    default:
        return DefWindowProcA(window, message, wParam, lParam);
    }
}

HWND create_backdrop_window(HINSTANCE instance)
{
    WNDCLASSEXA windowClass;
    memset(&windowClass, 0, sizeof windowClass);
    windowClass.cbSize = sizeof windowClass;
    windowClass.style = CS_VREDRAW | CS_HREDRAW;
    windowClass.lpfnWndProc = backdrop_window_procedure;
    windowClass.hInstance = instance;
    windowClass.hIcon = LoadIconA(instance, MAKEINTRESOURCEA(IDI_SETUP));
    windowClass.hCursor = LoadCursorA(NULL, IDC_ARROW);
    windowClass.lpszClassName = PRODUCT_NAME;
    windowClass.hIconSm = LoadIconA(instance, MAKEINTRESOURCEA(IDI_SETUP));
    if (RegisterClassExA(&windowClass) == 0)
        return NULL;

    HWND window = CreateWindowExA(0, PRODUCT_NAME, "", WS_POPUP | WS_DLGFRAME, 0, 0,
                                  GetSystemMetrics(SM_CXSCREEN),
                                  GetSystemMetrics(SM_CYSCREEN), NULL, NULL, instance,
                                  NULL);
    if (window != NULL) {
        ShowWindow(window, SW_SHOWMAXIMIZED);
        UpdateWindow(window);
    }
    return window;
}
