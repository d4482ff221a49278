// Screen captures for the record: the whole screen as the user would see
// it, saved as a PNG file in the folder named by SCREENSHOT_DIR.
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

// Copies the screen (GetDC(NULL)) into memory.
Pixels capture_screen();

// Writes pixels as an 8-bit RGB PNG; returns false when it cannot.
bool write_png(const Pixels& pixels, const std::string& path);

// Captures the screen into SCREENSHOT_DIR\<name>.png. Returns the path
// written, or an empty string when SCREENSHOT_DIR is not set or the file
// cannot be written.
std::string save_screenshot(const char* name);
