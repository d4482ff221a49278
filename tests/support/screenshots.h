// Screen captures: the whole screen or a part of it as the user would see
// it, kept in memory or saved as a PNG file (in the folder named by
// SCREENSHOT_DIR) or a BMP file (robot::save_screenshot).
#pragma once
#include <windows.h>

#include <string>
#include <vector>

// A 32-bit top-down copy of a device context's pixels (0x00RRGGBB).
struct Pixels {
    int width = 0;
    int height = 0;
    std::vector<DWORD> data;
    DWORD at(int x, int y) const { return data[size_t(y) * width + x]; }
};

// Copies an area of the screen (GetDC(NULL)) into memory; no pixels when
// the area is empty.
Pixels capture(const RECT& area);
// The whole screen.
Pixels capture_screen();

// Writes pixels as an 8-bit RGB PNG; returns false when it cannot.
bool write_png(const Pixels& pixels, const std::string& path);
// Writes pixels as a 24-bit BMP; returns false when it cannot.
bool write_bmp(const Pixels& pixels, const std::string& path);

// Captures the screen into SCREENSHOT_DIR\<name>.png. Returns the path
// written, or an empty string when SCREENSHOT_DIR is not set or the file
// cannot be written.
std::string save_screenshot(const char* name);
