// The proposed folder from the registry's "Path", and the default parent
// folder. Drives: A: removable, B: fixed, D: removable.
#include <windows.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <string>

#include "location/default_location.h"
#include "location/previous_location.h"
#include "common/special_folders.h"
#include "setup/state.h"
#include "tests/win/location/folders.h"
#include "tests/support/notices.h"
#include "tests/support/registry_fixture.h"

using namespace fixture;
using namespace folders;

namespace {

struct Proposal {
    int flag;
    std::string folder;
    std::string current;
};

// previous_location on a zero-filled buffer, from a known current folder;
// it never shows a box.
Proposal propose()
{
    char proposed[kPathSize];
    memset(proposed, 0, sizeof proposed);
    SetCurrentDirectoryA("C:\\");
    NoticeLog boxes;
    Proposal proposal;
    proposal.flag = previous_location(proposed);
    EXPECT_TRUE(boxes.stop().empty());
    proposal.folder = proposed;
    proposal.current = current_directory();
    return proposal;
}

class PreviousLocation : public testing::Test {
protected:
    void SetUp() override
    {
        fresh_registry();
        compute_default_parent_folder();
    }
    void set_path(const std::string& bytes, const char* key = kMachineKey)
    {
        HKEY root = key == kMachineKey ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
        set_raw_value(root, key, "Path", REG_SZ, bytes);
    }
};

TEST_F(PreviousLocation, UnusablePathValuesProposeTheDefaultFolder)
{
    const std::string fallback = "C:\\Program Files (x86)\\Veltranox";
    EXPECT_EQ(fallback, propose().folder) << "no value";

    const std::string values[] = {
        sz(":\\Apps\\Veltranox"), // a leading colon counts as no value
        sz(":"),
        std::string(kPathSize, 'x'),  // fills the buffer, no terminator
        sz(std::string(kPathSize, 'y')), // longer than the buffer
    };
    for (const std::string& value : values) {
        set_path(value);
        Proposal proposal = propose();
        EXPECT_EQ(0, proposal.flag);
        EXPECT_EQ(fallback, proposal.folder) << value.size() << " bytes";
        EXPECT_EQ("C:\\", proposal.current);
    }
}

TEST_F(PreviousLocation, FolderHoldingTheMainProgramSetsTheFlag)
{
    ASSERT_TRUE(CreateDirectoryA("B:\\Apps", NULL));
    ASSERT_TRUE(CreateDirectoryA("B:\\Apps\\Veltranox", NULL));
    ASSERT_TRUE(make_file("B:\\Apps\\Veltranox\\Veltranox.exe"));
    set_path(sz("B:\\Apps\\Veltranox\\"));
    Proposal proposal = propose();
    EXPECT_EQ(1, proposal.flag);
    EXPECT_EQ("B:\\Apps\\Veltranox", proposal.folder);
    EXPECT_EQ("B:\\Apps\\Veltranox", proposal.current);

    // While the machine key cannot be written, "Path" is the settings key's.
    g_setup.nolmaccess = 1;
    EXPECT_EQ("C:\\Program Files (x86)\\Veltranox", propose().folder);
    set_path(sz("B:\\Apps\\Veltranox"), kSettingsKey);
    EXPECT_EQ(1, propose().flag);
}

TEST_F(PreviousLocation, FolderThatFailsOrLacksTheProgramIsStillProposed)
{
    // A vanished folder under an existing parent is made again.
    ASSERT_TRUE(CreateDirectoryA("C:\\pl-gone", NULL));
    set_path(sz("C:\\pl-gone\\Veltranox"));
    Proposal recreated = propose();
    EXPECT_EQ(0, recreated.flag);
    EXPECT_EQ("C:\\pl-gone\\Veltranox", recreated.folder);
    EXPECT_TRUE(is_folder("C:\\pl-gone\\Veltranox"));

    // Removable drive: turned down quietly, proposed as read.
    ASSERT_TRUE(CreateDirectoryA("D:\\Apps", NULL));
    ASSERT_TRUE(make_file("D:\\Apps\\Veltranox.exe"));
    set_path(sz("D:\\Apps\\"));
    Proposal removable = propose();
    EXPECT_EQ(0, removable.flag);
    EXPECT_EQ("D:\\Apps\\", removable.folder);

    // Read-only folder holding the program.
    ASSERT_TRUE(CreateDirectoryA("C:\\pl-readonly", NULL));
    ASSERT_TRUE(make_file("C:\\pl-readonly\\Veltranox.exe"));
    ASSERT_TRUE(set_folder_writable("C:\\pl-readonly", false));
    set_path(sz("C:\\pl-readonly\\"));
    Proposal readOnly = propose();
    EXPECT_EQ(0, readOnly.flag);
    EXPECT_EQ("C:\\pl-readonly", readOnly.folder);
    EXPECT_TRUE(set_folder_writable("C:\\pl-readonly", true));

    // An empty value fails the drive form and stays empty.
    set_path(sz(""));
    Proposal empty = propose();
    EXPECT_EQ(0, empty.flag);
    EXPECT_EQ("", empty.folder);
}

TEST(MainProgramPresent, ExactNameAsFileOrFolder)
{
    ASSERT_TRUE(CreateDirectoryA("C:\\mp-file", NULL));
    ASSERT_TRUE(CreateDirectoryA("C:\\mp-folder", NULL));
    ASSERT_TRUE(CreateDirectoryA("C:\\mp-folder\\Veltranox.exe", NULL));
    ASSERT_TRUE(CreateDirectoryA("C:\\mp-other", NULL));
    ASSERT_TRUE(make_file("C:\\mp-file\\veltranox.EXE"));
    ASSERT_TRUE(make_file("C:\\mp-other\\Veltranox.exe.old"));
    EXPECT_EQ(1, main_program_present("C:\\mp-file"));
    EXPECT_EQ(1, main_program_present("C:\\mp-folder\\"));
    EXPECT_EQ(0, main_program_present("C:\\mp-other"));
    EXPECT_EQ(0, main_program_present("C:\\mp-missing"));
}

TEST(DefaultLocation, ProgramFilesFolderWithoutTrailingBackslash)
{
    char path[MAX_PATH];
    ASSERT_EQ(1, special_folder_lookup(NULL, CSIDL_PROGRAM_FILES, path));
    EXPECT_STREQ("C:\\Program Files (x86)", path); // what a 32-bit process sees
    compute_default_parent_folder();
    EXPECT_STREQ("C:\\Program Files (x86)", g_setup.defaultParentFolder);

    memset(path, 'X', sizeof path);
    EXPECT_EQ(0, special_folder_lookup(NULL, 0x7E, path)); // no such folder
    EXPECT_STREQ("", path);
}

// A: is removable and B: fixed, so the scan passes A and stops at B.
TEST(DefaultLocation, DriveScanTakesTheFirstFixedDrive)
{
    char folder[kPathSize];
    program_files_on_first_fixed_drive(folder);
    EXPECT_STREQ("B:\\Program Files", folder);
}

} // namespace
