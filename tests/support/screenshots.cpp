#include "tests/support/screenshots.h"

#include <stdio.h>

namespace {

DWORD crc_table[256];

void make_crc_table()
{
    for (DWORD n = 0; n < 256; ++n) {
        DWORD c = n;
        for (int k = 0; k < 8; ++k)
            c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        crc_table[n] = c;
    }
}

DWORD crc32(const unsigned char* data, size_t size, DWORD crc = 0)
{
    if (crc_table[1] == 0)
        make_crc_table();
    crc = ~crc;
    for (size_t i = 0; i < size; ++i)
        crc = crc_table[(crc ^ data[i]) & 0xFF] ^ (crc >> 8);
    return ~crc;
}

void put32(std::vector<unsigned char>& out, DWORD value)
{
    out.push_back(BYTE(value >> 24));
    out.push_back(BYTE(value >> 16));
    out.push_back(BYTE(value >> 8));
    out.push_back(BYTE(value));
}

void put_chunk(std::vector<unsigned char>& out, const char* type,
               const std::vector<unsigned char>& body)
{
    put32(out, DWORD(body.size()));
    std::vector<unsigned char> typed(type, type + 4);
    typed.insert(typed.end(), body.begin(), body.end());
    out.insert(out.end(), typed.begin(), typed.end());
    put32(out, crc32(typed.data(), typed.size()));
}

}  // namespace

Pixels capture(const RECT& area)
{
    Pixels pixels;
    int width = area.right - area.left, height = area.bottom - area.top;
    if (width <= 0 || height <= 0)
        return pixels;
    HDC screen = GetDC(NULL);
    HDC memory = CreateCompatibleDC(screen);
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = NULL;
    HBITMAP bitmap = CreateDIBSection(memory, &info, DIB_RGB_COLORS, &bits, NULL, 0);
    if (bitmap != NULL) {
        HGDIOBJ old = SelectObject(memory, bitmap);
        BitBlt(memory, 0, 0, width, height, screen, area.left, area.top, SRCCOPY | CAPTUREBLT);
        GdiFlush();
        const DWORD* p = static_cast<const DWORD*>(bits);
        pixels.width = width;
        pixels.height = height;
        pixels.data.assign(p, p + size_t(width) * height);
        SelectObject(memory, old);
        DeleteObject(bitmap);
    }
    DeleteDC(memory);
    ReleaseDC(NULL, screen);
    return pixels;
}

Pixels capture_screen()
{
    RECT whole = {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    return capture(whole);
}

bool write_bmp(const Pixels& pixels, const std::string& path)
{
    if (pixels.width <= 0 || pixels.height <= 0)
        return false;
    // 24-bit rows, bottom-up, each padded to four bytes, as BMP files keep them.
    DWORD stride = (DWORD(pixels.width) * 3 + 3) & ~3u;
    DWORD imageSize = stride * DWORD(pixels.height);
    std::vector<unsigned char> image(imageSize, 0);
    for (int y = 0; y < pixels.height; ++y) {
        unsigned char* row = &image[size_t(pixels.height - 1 - y) * stride];
        for (int x = 0; x < pixels.width; ++x) {
            DWORD c = pixels.at(x, y);
            row[3 * x] = BYTE(c);
            row[3 * x + 1] = BYTE(c >> 8);
            row[3 * x + 2] = BYTE(c >> 16);
        }
    }
    BITMAPINFOHEADER info = {};
    info.biSize = sizeof info;
    info.biWidth = pixels.width;
    info.biHeight = pixels.height;
    info.biPlanes = 1;
    info.biBitCount = 24;
    info.biCompression = BI_RGB;
    info.biSizeImage = imageSize;
    BITMAPFILEHEADER header = {};
    header.bfType = 0x4D42;
    header.bfOffBits = sizeof header + sizeof info;
    header.bfSize = header.bfOffBits + imageSize;
    FILE* file = fopen(path.c_str(), "wb");
    if (file == NULL)
        return false;
    bool written = fwrite(&header, sizeof header, 1, file) == 1 &&
                   fwrite(&info, sizeof info, 1, file) == 1 &&
                   fwrite(image.data(), imageSize, 1, file) == 1;
    return fclose(file) == 0 && written;
}

bool write_png(const Pixels& pixels, const std::string& path)
{
    // Raw scanlines (filter byte 0, then RGB), stored in uncompressed
    // deflate blocks: large files, but no compressor needed.
    std::vector<unsigned char> raw;
    raw.reserve(size_t(pixels.height) * (1 + 3 * pixels.width));
    for (int y = 0; y < pixels.height; ++y) {
        raw.push_back(0);
        for (int x = 0; x < pixels.width; ++x) {
            DWORD c = pixels.at(x, y);
            raw.push_back(BYTE(c >> 16));
            raw.push_back(BYTE(c >> 8));
            raw.push_back(BYTE(c));
        }
    }
    std::vector<unsigned char> zlib = {0x78, 0x01};
    size_t offset = 0;
    do {
        size_t block = raw.size() - offset < 65535 ? raw.size() - offset : 65535;
        bool last = offset + block == raw.size();
        zlib.push_back(last ? 1 : 0);
        zlib.push_back(BYTE(block));
        zlib.push_back(BYTE(block >> 8));
        zlib.push_back(BYTE(~block));
        zlib.push_back(BYTE(~block >> 8));
        zlib.insert(zlib.end(), raw.begin() + offset, raw.begin() + offset + block);
        offset += block;
    } while (offset < raw.size());
    DWORD a = 1, b = 0;
    for (unsigned char c : raw) {
        a = (a + c) % 65521;
        b = (b + a) % 65521;
    }
    put32(zlib, (b << 16) | a);

    std::vector<unsigned char> png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    std::vector<unsigned char> header;
    put32(header, pixels.width);
    put32(header, pixels.height);
    header.insert(header.end(), {8, 2, 0, 0, 0});  // 8-bit RGB
    put_chunk(png, "IHDR", header);
    put_chunk(png, "IDAT", zlib);
    put_chunk(png, "IEND", {});

    FILE* file = fopen(path.c_str(), "wb");
    if (file == NULL)
        return false;
    bool written = fwrite(png.data(), 1, png.size(), file) == png.size();
    return fclose(file) == 0 && written;
}

std::string save_screenshot(const char* name)
{
    char folder[MAX_PATH];
    DWORD length = GetEnvironmentVariableA("SCREENSHOT_DIR", folder, sizeof folder);
    if (length == 0 || length >= sizeof folder)
        return std::string();
    CreateDirectoryA(folder, NULL);
    std::string path = std::string(folder) + "\\" + name + ".png";
    return write_png(capture_screen(), path) ? path : std::string();
}
