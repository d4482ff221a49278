// The dialog templates and the icon as the setup program carries them:
// read back from VeltranoxSetup.exe's own resources, byte for byte.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/benchutil.h"

namespace {

// One item of a classic (not extended) dialog template.
struct Control {
    DWORD style = 0, exStyle = 0;
    short x = 0, y = 0, cx = 0, cy = 0;
    WORD id = 0;
    std::string className;  // "#128" for an ordinal
    std::string text;       // "#103" for an ordinal
};

struct Template {
    DWORD style = 0, exStyle = 0;
    short x = 0, y = 0, cx = 0, cy = 0;
    std::string menu, className, title, face;
    WORD pointSize = 0;
    std::vector<Control> controls;
};

class Reader {
public:
    Reader(const BYTE* data, DWORD size) : data_(data), size_(size) {}
    bool ok() const { return ok_; }
    size_t offset() const { return offset_; }
    WORD word()
    {
        if (offset_ + 2 > size_) {
            ok_ = false;
            return 0;
        }
        WORD value = WORD(data_[offset_] | data_[offset_ + 1] << 8);
        offset_ += 2;
        return value;
    }
    DWORD dword()
    {
        DWORD low = word();
        return low | DWORD(word()) << 16;
    }
    // A name or ordinal: 0xFFFF then an ordinal, or a zero-ended UTF-16 text.
    std::string name()
    {
        WORD first = word();
        if (first == 0xFFFF)
            return "#" + std::to_string(word());
        std::string text;
        for (WORD c = first; c != 0 && ok_; c = word())
            text += c < 0x80 ? char(c) : '?';
        return text;
    }
    void align_dword() { offset_ = (offset_ + 3) & ~size_t(3); }

private:
    const BYTE* data_;
    DWORD size_;
    size_t offset_ = 0;
    bool ok_ = true;
};

class SetupResources : public testing::Test {
protected:
    void SetUp() override
    {
        module_ = LoadLibraryExA(sibling_path("VeltranoxSetup.exe").c_str(), NULL,
                                 LOAD_LIBRARY_AS_DATAFILE);
        ASSERT_NE(module_, (HMODULE)NULL) << "VeltranoxSetup.exe not found next to the test";
    }
    void TearDown() override { FreeLibrary(module_); }

    bool resource(LPCSTR type, int id, const BYTE** data, DWORD* size)
    {
        HRSRC info = FindResourceA(module_, MAKEINTRESOURCEA(id), type);
        if (info == NULL)
            return false;
        *size = SizeofResource(module_, info);
        *data = static_cast<const BYTE*>(LockResource(LoadResource(module_, info)));
        return *data != NULL;
    }

    // Parses a classic DLGTEMPLATE; fails the test on an extended one.
    bool read_template(int id, Template* out)
    {
        const BYTE* data;
        DWORD size;
        if (!resource(RT_DIALOG, id, &data, &size)) {
            ADD_FAILURE() << "no dialog template " << id;
            return false;
        }
        Reader r(data, size);
        out->style = r.dword();
        out->exStyle = r.dword();
        if (HIWORD(out->style) == 0xFFFF) {
            ADD_FAILURE() << "template " << id << " is an extended template";
            return false;
        }
        WORD count = r.word();
        out->x = short(r.word());
        out->y = short(r.word());
        out->cx = short(r.word());
        out->cy = short(r.word());
        out->menu = r.name();
        out->className = r.name();
        out->title = r.name();
        if (out->style & DS_SETFONT) {
            out->pointSize = r.word();
            out->face = r.name();
        }
        for (WORD i = 0; i < count && r.ok(); ++i) {
            r.align_dword();
            Control c;
            c.style = r.dword();
            c.exStyle = r.dword();
            c.x = short(r.word());
            c.y = short(r.word());
            c.cx = short(r.word());
            c.cy = short(r.word());
            c.id = r.word();
            c.className = r.name();
            c.text = r.name();
            WORD extra = r.word();
            for (WORD b = 0; b < extra; b += 2)
                r.word();
            out->controls.push_back(c);
        }
        EXPECT_TRUE(r.ok()) << "template " << id << " ends early";
        return r.ok();
    }

    HMODULE module_ = NULL;
};

void expect_control(const Control& c, WORD id, const char* className, const char* text,
                    short x, short y, short cx, short cy, DWORD style)
{
    SCOPED_TRACE(std::string("control ") + std::to_string(short(id)) + " " + text);
    EXPECT_EQ(c.id, id);
    EXPECT_EQ(c.className, className);
    EXPECT_EQ(c.text, text);
    EXPECT_EQ(c.x, x);
    EXPECT_EQ(c.y, y);
    EXPECT_EQ(c.cx, cx);
    EXPECT_EQ(c.cy, cy);
    EXPECT_EQ(c.style, style) << std::hex << "0x" << c.style;
    EXPECT_EQ(c.exStyle, 0u);
}

void expect_frame(const Template& t, DWORD style, short cx, short cy)
{
    EXPECT_EQ(t.style, style) << std::hex << "0x" << t.style;
    EXPECT_EQ(t.exStyle, 0u);
    EXPECT_EQ(t.style & (WS_CAPTION | WS_SYSMENU), 0u) << "no caption bar, no system menu";
    EXPECT_EQ(t.x, 0);
    EXPECT_EQ(t.y, 0);
    EXPECT_EQ(t.cx, cx);
    EXPECT_EQ(t.cy, cy);
    EXPECT_EQ(t.menu, "");
    EXPECT_EQ(t.className, "");
    EXPECT_EQ(t.title, "");
    EXPECT_EQ(t.pointSize, 8);
    EXPECT_EQ(t.face, "MS Sans Serif");
}

const WORD kNoId = 0xFFFF;

TEST_F(SetupResources, LocationDialogTemplate)
{
    Template t;
    ASSERT_TRUE(read_template(101, &t));
    expect_frame(t, 0x800008C0, 262, 90);
    ASSERT_EQ(t.controls.size(), 6u);
    expect_control(t.controls[0], IDOK, "#128", "Install", 75, 69, 51, 14, 0x50010001);
    expect_control(t.controls[1], IDCANCEL, "#128", "Cancel", 131, 69, 51, 14, 0x50010000);
    expect_control(t.controls[2], 1000, "#129", "", 40, 42, 171, 12, 0x50810880);
    expect_control(t.controls[3], 1002, "#128", "Change...", 216, 41, 39, 14, 0x50010000);
    expect_control(t.controls[4], kNoId, "#130", "#103", 14, 14, 20, 20, 0x50000803);
    expect_control(t.controls[5], kNoId, "#130",
                   "This program will install Veltranox to your computer at the location "
                   "shown below.",
                   39, 11, 180, 23, 0x50020000);
}

TEST_F(SetupResources, ProgressNoticeTemplate)
{
    Template t;
    ASSERT_TRUE(read_template(103, &t));
    expect_frame(t, 0x900008C0, 130, 34);
    ASSERT_EQ(t.controls.size(), 1u);
    expect_control(t.controls[0], kNoId, "#130", "A moment please...", 7, 7, 116, 19,
                   0x50020201);
}

TEST_F(SetupResources, LicenceDialogTemplate)
{
    Template t;
    ASSERT_TRUE(read_template(158, &t));
    expect_frame(t, 0x800008C0, 284, 202);
    ASSERT_EQ(t.controls.size(), 4u);
    expect_control(t.controls[0], IDOK, "#128", "Accept", 113, 166, 60, 14, 0x50010001);
    expect_control(t.controls[1], IDCANCEL, "#128", "Decline", 113, 183, 60, 14, 0x50010000);
    expect_control(t.controls[2], 1000, "#129", "", 7, 9, 270, 152, 0x50A10004);
    expect_control(t.controls[3], kNoId, "#130",
                   "Click and drag the \"scroll thumb\" to view the entire contract.", 183,
                   165, 88, 34, 0x50020000);
}

TEST_F(SetupResources, IconHasTwoSixteenColourImages)
{
    const BYTE* data;
    DWORD size;
    ASSERT_TRUE(resource(RT_GROUP_ICON, 103, &data, &size));
    ASSERT_GE(size, 6u);
    Reader r(data, size);
    EXPECT_EQ(r.word(), 0);  // reserved
    EXPECT_EQ(r.word(), 1);  // icons
    WORD count = r.word();
    ASSERT_EQ(count, 2);
    std::vector<int> sizes;
    for (WORD i = 0; i < count; ++i) {
        BYTE width = data[r.offset()], height = data[r.offset() + 1];
        BYTE colours = data[r.offset() + 2];
        r.word();
        r.word();
        r.word();  // planes
        WORD bits = r.word();
        DWORD bytes = r.dword();
        WORD imageId = r.word();
        SCOPED_TRACE("image " + std::to_string(i));
        EXPECT_EQ(width, height);
        EXPECT_EQ(colours, 16);
        EXPECT_EQ(bits, 4);
        sizes.push_back(width);

        // The image itself: a 4-bit bitmap of the same size, colour and mask.
        const BYTE* image;
        DWORD imageSize;
        ASSERT_TRUE(resource(RT_ICON, imageId, &image, &imageSize));
        EXPECT_EQ(imageSize, bytes);
        const BITMAPINFOHEADER* header = reinterpret_cast<const BITMAPINFOHEADER*>(image);
        EXPECT_EQ(header->biWidth, width);
        EXPECT_EQ(header->biHeight, 2 * height);
        EXPECT_EQ(header->biBitCount, 4);
        EXPECT_EQ(imageSize, 40u + 16 * 4 + (width / 2 + 3) / 4 * 4 * height +
                                 (width / 8 + 3) / 4 * 4 * height);
    }
    EXPECT_EQ(sizes, (std::vector<int>{32, 16}));

    // The system can make an icon of each size from it.
    HICON big = static_cast<HICON>(LoadImageA(module_, MAKEINTRESOURCEA(103), IMAGE_ICON, 32, 32, 0));
    HICON small = static_cast<HICON>(LoadImageA(module_, MAKEINTRESOURCEA(103), IMAGE_ICON, 16, 16, 0));
    EXPECT_NE(big, (HICON)NULL);
    EXPECT_NE(small, (HICON)NULL);
    DestroyIcon(big);
    DestroyIcon(small);
}

}  // namespace
