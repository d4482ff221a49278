// The backdrop window: its class and window, and its painting checked pixel
// by pixel in a memory bitmap the size of the screen, through the window's
// own erase handler.
#include <gtest/gtest.h>

#include <vector>

#include "setup/state.h"
#include "tests/support/robot.h"
#include "tests/win/ui/screenshot.h"
#include "ui/backdrop.h"

namespace {

const DWORD kBackground = 0x400000;  // 0x00RRGGBB
const DWORD kPatternInk = 0x380000;
const DWORD kShadow = 0x200000;
const DWORD kLight = 0xF0F0F0;

// The background, the pattern's ink, or a blend of the two: no green or
// blue, red between theirs.
bool is_backdrop_colour(DWORD colour)
{
    DWORD red = (colour >> 16) & 0xFF;
    return (colour & 0xFFFF) == 0 && red >= (kPatternInk >> 16) && red <= (kBackground >> 16);
}

// A top-down 32-bit DIB selected into a memory DC.
class Canvas {
public:
    Canvas(int width, int height) : width_(width), height_(height)
    {
        dc_ = CreateCompatibleDC(NULL);
        BITMAPINFO info = {};
        info.bmiHeader.biSize = sizeof info.bmiHeader;
        info.bmiHeader.biWidth = width;
        info.bmiHeader.biHeight = -height;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        void* bits = NULL;
        bitmap_ = CreateDIBSection(dc_, &info, DIB_RGB_COLORS, &bits, NULL, 0);
        bits_ = static_cast<DWORD*>(bits);
        old_ = SelectObject(dc_, bitmap_);
    }
    ~Canvas()
    {
        SelectObject(dc_, old_);
        DeleteObject(bitmap_);
        DeleteDC(dc_);
    }
    HDC dc() const { return dc_; }
    bool ok() const { return bits_ != NULL; }
    // Call GdiFlush() after drawing, before reading pixels.
    DWORD at(int x, int y) const
    {
        return bits_[size_t(y) * width_ + x] & 0xFFFFFF;
    }
    void fill(DWORD colour)
    {
        for (size_t i = 0; i < size_t(width_) * height_; ++i)
            bits_[i] = colour;
    }

private:
    int width_, height_;
    HDC dc_;
    HBITMAP bitmap_;
    HGDIOBJ old_;
    DWORD* bits_ = NULL;
};

HFONT make_font(LONG height, BYTE italic, const char* face)
{
    LOGFONTA font = {};
    font.lfHeight = height;
    font.lfItalic = italic;
    lstrcpyA(font.lfFaceName, face);
    return CreateFontIndirectA(&font);
}

// Draws text in a font into dc at x, y with the given alignment and colour.
void draw(HDC dc, LONG height, const char* text, int x, int y, UINT align, COLORREF colour)
{
    HFONT font = make_font(height, FALSE, " MS Sans Serif");
    HGDIOBJ old = SelectObject(dc, font);
    SetBkMode(dc, TRANSPARENT);
    SetTextAlign(dc, align);
    SetTextColor(dc, colour);
    TextOutA(dc, x, y, text, lstrlenA(text));
    SelectObject(dc, old);
    DeleteObject(font);
}

// Live GDI objects of this process. Wine accepts a handle's table index
// without its generation bits, so every slot can be asked for its type;
// where the system counts them itself, that count is used instead.
int count_gdi_objects()
{
    int counted = int(GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS));
    if (counted != 0)
        return counted;
    for (UINT_PTR handle = 4; handle < 0x10000; handle += 4)
        if (GetObjectType(reinterpret_cast<HGDIOBJ>(handle)) != 0)
            ++counted;
    return counted;
}

// Dispatches this thread's messages for at least ms milliseconds; a quit
// message is taken off the queue and left undispatched.
void pump_messages(DWORD ms = 0)
{
    DWORD end = GetTickCount() + ms;
    MSG message;
    do {
        while (PeekMessageA(&message, NULL, 0, 0, PM_REMOVE))
            if (message.message != WM_QUIT)
                DispatchMessageA(&message);
        if (ms != 0)
            Sleep(10);
    } while (GetTickCount() < end);
}

class BackdropTest : public testing::Test {
protected:
    void SetUp() override
    {
        width_ = GetSystemMetrics(SM_CXSCREEN);
        height_ = GetSystemMetrics(SM_CYSCREEN);
        window_ = create_backdrop_window(GetModuleHandleA(NULL));
        ASSERT_NE(window_, (HWND)NULL);
    }
    void TearDown() override
    {
        if (window_ != NULL)
            DestroyWindow(window_);
        pump_messages();  // the quit message of WM_DESTROY goes with them
        UnregisterClassA("Veltranox", GetModuleHandleA(NULL));
    }
    LRESULT erase(HDC dc) { return SendMessageA(window_, WM_ERASEBKGND, (WPARAM)dc, 0); }

    int width_ = 0, height_ = 0;
    HWND window_ = NULL;
};

TEST_F(BackdropTest, ClassAndWindowCoverTheScreen)
{
    WNDCLASSEXA windowClass = {};
    windowClass.cbSize = sizeof windowClass;
    ASSERT_TRUE(GetClassInfoExA(GetModuleHandleA(NULL), "Veltranox", &windowClass));
    EXPECT_EQ(windowClass.style, UINT(CS_VREDRAW | CS_HREDRAW));
    EXPECT_EQ(windowClass.hbrBackground, (HBRUSH)NULL) << "the window paints its own";
    EXPECT_EQ(windowClass.hCursor, LoadCursorA(NULL, IDC_ARROW));
    EXPECT_NE(windowClass.hIcon, (HICON)NULL) << "icon 103 missing";
    EXPECT_NE(windowClass.hIconSm, (HICON)NULL);
    EXPECT_EQ(windowClass.cbClsExtra, 0);
    EXPECT_EQ(windowClass.cbWndExtra, 0);
    EXPECT_EQ(windowClass.lpszMenuName, (LPCSTR)NULL);

    LONG style = GetWindowLongA(window_, GWL_STYLE);
    EXPECT_EQ(style & (WS_POPUP | WS_CAPTION), WS_POPUP | WS_DLGFRAME)
        << "popup with a dialog frame and no caption bar";
    EXPECT_TRUE(IsWindowVisible(window_));
    EXPECT_TRUE(IsZoomed(window_)) << "shown maximised";
    EXPECT_EQ(GetParent(window_), (HWND)NULL);
    EXPECT_EQ(GetWindowTextLengthA(window_), 0);
    // Maximised, the frame lies just off the screen and the client area
    // covers it exactly.
    RECT rect;
    GetClientRect(window_, &rect);
    MapWindowPoints(window_, NULL, reinterpret_cast<POINT*>(&rect), 2);
    EXPECT_EQ(rect.left, 0);
    EXPECT_EQ(rect.top, 0);
    EXPECT_EQ(rect.right, width_);
    EXPECT_EQ(rect.bottom, height_);

    // The procedure's own messages: create answers 0, destroy posts quit 0.
    EXPECT_EQ(backdrop_window_procedure(window_, WM_CREATE, 0, 0), 0);
    pump_messages();
    MSG message;
    ASSERT_FALSE(PeekMessageA(&message, NULL, WM_QUIT, WM_QUIT, PM_NOREMOVE));
    DestroyWindow(window_);
    window_ = NULL;
    ASSERT_TRUE(PeekMessageA(&message, NULL, WM_QUIT, WM_QUIT, PM_REMOVE))
        << "WM_DESTROY posts the quit message";
    EXPECT_EQ(message.wParam, 0u);
}

TEST_F(BackdropTest, EraseHandlerPaintsTheWholeScreenArea)
{
    Canvas canvas(width_, height_);
    ASSERT_TRUE(canvas.ok());
    canvas.fill(0x00FF00);
    HGDIOBJ fontBefore = GetCurrentObject(canvas.dc(), OBJ_FONT);
    HGDIOBJ brushBefore = GetCurrentObject(canvas.dc(), OBJ_BRUSH);
    EXPECT_EQ(erase(canvas.dc()), 1) << "the background counts as erased";
    GdiFlush();
    EXPECT_EQ(GetCurrentObject(canvas.dc(), OBJ_FONT), fontBefore) << "font not selected back";
    EXPECT_EQ(GetCurrentObject(canvas.dc(), OBJ_BRUSH), brushBefore)
        << "brush not selected back";

    // Nothing is left of the fill: the rectangle covers everything, and its
    // outline is drawn with the DC's pen (black by default).
    int background = 0, outline = 0, unpainted = 0;
    for (int y = 0; y < height_; ++y)
        for (int x = 0; x < width_; ++x) {
            DWORD c = canvas.at(x, y);
            if (c == 0x00FF00)
                ++unpainted;
            else if (c == kBackground)
                ++background;
            if ((x == 0 || y == 0 || x == width_ - 1 || y == height_ - 1) && c == 0)
                ++outline;
        }
    EXPECT_EQ(unpainted, 0);
    EXPECT_GT(background, width_ * height_ / 2) << "background colour where no text falls";
    EXPECT_GT(outline, (width_ + height_) * 2 * 3 / 4);

    // Pattern rows: every 19 pixels down, the picture repeats 95 pixels
    // further left (checked below the title, away from the outline).
    int mismatches = 0;
    for (int y = 120; y + 19 < height_ - 1; ++y)
        for (int x = 1; x + 95 < width_ - 1; ++x)
            if (canvas.at(x, y + 19) != canvas.at(x + 95, y))
                ++mismatches;
    EXPECT_EQ(mismatches, 0) << "rows must be 19 apart, each 95 further left";

    // Along a row the copies repeat at the text width less one.
    HDC measure = CreateCompatibleDC(NULL);
    HFONT patternFont = make_font(-18, TRUE, "Symbol");
    HGDIOBJ oldFont = SelectObject(measure, patternFont);
    SIZE extent = {};
    GetTextExtentPointA(measure, "VELTRANOX", 9, &extent);
    SelectObject(measure, oldFont);
    DeleteObject(patternFont);
    DeleteDC(measure);
    int step = extent.cx - 1;
    ASSERT_GT(step, 10);
    mismatches = 0;
    for (int y = 120; y < height_ - 1; ++y)
        for (int x = 1; x + step < width_ - 1; ++x)
            if (canvas.at(x, y) != canvas.at(x + step, y))
                ++mismatches;
    EXPECT_EQ(mismatches, 0) << "copies overlap by one unit";

    // Every row down to the bottom carries the pattern, including at the
    // left edge, where the far-left rows begin with a copy cut by the edge.
    int rows = 0;
    for (int top = 0; top < height_; top += 19) {
        bool inkRight = false, inkLeft = false;
        for (int y = top; y < top + 19 && y < height_ - 1; ++y) {
            for (int x = 700; x < width_ - 1; ++x)
                inkRight = inkRight || canvas.at(x, y) == kPatternInk;
            for (int x = 1; x < step; ++x)
                inkLeft = inkLeft || canvas.at(x, y) == kPatternInk;
        }
        EXPECT_TRUE(inkRight) << "no pattern in the row at y " << top;
        if (top >= 120)
            EXPECT_TRUE(inkLeft) << "row at y " << top << " misses its first copy";
        rows += inkRight;
    }
    if (width_ == 1024 && height_ == 768)
        EXPECT_EQ(rows, 41);

    // Title and subtitle: light text over a dark shadow 6 right and below,
    // the title's bottom and the subtitle's top meeting at y 60.
    Canvas reference(width_, 130);
    ASSERT_TRUE(reference.ok());
    reference.fill(kBackground);
    draw(reference.dc(), -48, "Veltranox 2003", 18, 66, TA_BOTTOM, RGB(32, 0, 0));
    draw(reference.dc(), -48, "Veltranox 2003", 12, 60, TA_BOTTOM, RGB(240, 240, 240));
    draw(reference.dc(), -36, "Professional Screenwriting Software", 18, 66, TA_TOP,
         RGB(32, 0, 0));
    draw(reference.dc(), -36, "Professional Screenwriting Software", 12, 60, TA_TOP,
         RGB(240, 240, 240));
    GdiFlush();
    int light = 0, lightAbove = 0, lightBelow = 0, shadow = 0;
    mismatches = 0;
    for (int y = 1; y < 130; ++y)
        for (int x = 1; x < width_ - 1; ++x) {
            DWORD want = reference.at(x, y), got = canvas.at(x, y);
            if (want == kLight || want == kShadow || got == kLight || got == kShadow) {
                if (want != got)
                    ++mismatches;
                light += want == kLight;
                shadow += want == kShadow;
                if (want == kLight)
                    (y < 60 ? lightAbove : lightBelow)++;
            }
        }
    EXPECT_EQ(mismatches, 0) << "title, subtitle or shadow misplaced";
    EXPECT_GT(light, 1000);
    EXPECT_GT(shadow, 500);
    EXPECT_GT(lightAbove, 300) << "title above y 60";
    EXPECT_GT(lightBelow, 300) << "subtitle below y 60";
}

TEST_F(BackdropTest, PaintingLeavesNoGdiObjectBehind)
{
    Canvas canvas(width_, height_);
    ASSERT_TRUE(canvas.ok());
    erase(canvas.dc());  // any one-time allocations of the font system
    int before = count_gdi_objects();
    ASSERT_GT(before, 0);
    for (int i = 0; i < 100; ++i)
        erase(canvas.dc());
    EXPECT_EQ(count_gdi_objects(), before) << "brush or fonts leaked";
}

TEST_F(BackdropTest, DeviceContextThatCannotMeasureTextDoesNotHang)
{
    // No text width means no step along a row: the pattern is left out
    // instead of looping for ever. The test's timeout catches a hang.
    DWORD start = GetTickCount();
    EXPECT_EQ(erase(NULL), 1);
    EXPECT_LT(GetTickCount() - start, 5000u);
}

TEST_F(BackdropTest, Screenshot)
{
    // The window paints itself on the screen as its messages are
    // dispatched: wait until the screen shows it (a bound only a hang
    // reaches), then keep a picture of it. Well inside the window, along
    // a row of the pattern: the background, the pattern's ink, or where the
    // font system smooths the letters, blends of the two.
    int painted = 0;
    bool shown = robot::wait_until(
        [&] {
            pump_messages();
            Pixels screen = capture_screen();
            painted = 0;
            for (int x = 400; x < 600; ++x)
                painted += is_backdrop_colour(screen.at(x, screen.height / 2));
            return painted == 200;
        },
        30000, 50);
    EXPECT_TRUE(shown) << "the screen does not show the backdrop: " << painted
                       << " of 200 pixels in its colours";
    std::string path = save_screenshot("backdrop");
    if (path.empty())
        GTEST_SKIP() << "SCREENSHOT_DIR not set";
}

}  // namespace
