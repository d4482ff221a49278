// The folder check against real drives and folders. The drive letters are
// set up by the test's registration: D: removable, E: network, F: CD-ROM,
// G: RAM disk; Q: has no drive.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "location/validation.h"
#include "setup/state.h"
#include "tests/win/location/folders.h"
#include "tests/support/notices.h"
#include "tests/support/registry_fixture.h"

using namespace folders;

namespace {

const char kRemovable[] = "Veltranox can't be installed to a removable disk.";
const char kRemote[] =
    "Veltranox can't be installed to a remote drive. Select your local hard drive instead.";

struct Outcome {
    int result;
    std::string buffer;
    std::string current;
    std::vector<robot::Notice> notices;
};

// One validation of path from a known current directory.
Outcome validate(const std::string& path, int notify)
{
    char buffer[kPathSize];
    memset(buffer, 0, sizeof buffer);
    memcpy(buffer, path.data(), path.size());
    SetCurrentDirectoryA("C:\\");
    NoticeLog boxes;
    Outcome outcome;
    outcome.result = location_validation(buffer, notify);
    outcome.notices = boxes.stop();
    outcome.buffer = buffer;
    outcome.current = current_directory();
    return outcome;
}

void expect_notice(const Outcome& outcome, const char* code, const char* text)
{
    ASSERT_EQ(1u, outcome.notices.size());
    EXPECT_EQ(std::string("ERROR ") + code, outcome.notices[0].caption);
    EXPECT_EQ(text, outcome.notices[0].text);
    EXPECT_EQ(robot::Icon::Error, outcome.notices[0].icon);
    EXPECT_EQ(NULL, outcome.notices[0].owner);
}

// Runs the same path with notices and quietly: the same result and effects
// both times, and the notice only when asked for.
void expect_rejected(const std::string& path, const char* code, const char* text,
                     const std::string& bufferAfter)
{
    SCOPED_TRACE(path);
    Outcome loud = validate(path, 1);
    Outcome quiet = validate(path, 0);
    EXPECT_EQ(0, loud.result);
    EXPECT_EQ(bufferAfter, loud.buffer);
    expect_notice(loud, code, text);
    EXPECT_EQ(0, quiet.result);
    EXPECT_EQ(loud.buffer, quiet.buffer);
    EXPECT_EQ(loud.current, quiet.current);
    EXPECT_TRUE(quiet.notices.empty());
}

TEST(LocationValidation, RejectsBadFormsAndDrivesWithTheirOwnNotices)
{
    const char* const badForms[] = {"C:Program Files\\Veltranox", "\\\\server\\share\\Veltranox",
                                     "1:\\x", "", "C", "C:", ":\\Veltranox"};
    for (const char* path : badForms)
        expect_rejected(path, "11", "Invalid drive specification", path);

    // The drive is checked before the text is normalised.
    expect_rejected("D:\\Veltranox\\", "12", kRemovable, "D:\\Veltranox\\");
    expect_rejected("E:\\Veltranox", "12", kRemote, "E:\\Veltranox");
    expect_rejected("f:\\Veltranox", "12", "Invalid drive", "f:\\Veltranox");
    expect_rejected("G:\\Veltranox", "12", "Invalid drive", "G:\\Veltranox");
    for (const char* drive : {"D:", "E:", "F:", "G:"})
        EXPECT_FALSE(exists(std::string(drive) + "\\Veltranox")) << drive;
}

TEST(LocationValidation, RejectsWhatCannotBeEnteredOrCreated)
{
    // No drive behind the letter.
    expect_rejected("Q:\\Veltranox", "16", "Could not create the specified folder.",
                    "Q:\\Veltranox");
    // Only one level is created.
    expect_rejected("C:\\vt-missing\\New\\Deeper\\", "16",
                    "Could not create the specified folder.", "C:\\vt-missing\\New\\Deeper");
    EXPECT_FALSE(exists("C:\\vt-missing"));
    // A file of that name is neither a folder to enter nor a place for one.
    ASSERT_TRUE(make_file("C:\\vt-file"));
    expect_rejected("C:\\vt-file", "16", "Could not create the specified folder.",
                    "C:\\vt-file");
    EXPECT_FALSE(is_folder("C:\\vt-file"));
}

TEST(LocationValidation, AcceptsCreatesOneLevelAndEntersTheFolder)
{
    for (int notify = 1; notify >= 0; --notify) {
        std::string parent = notify ? "C:\\vt-loud" : "c:\\vt-quiet";
        SCOPED_TRACE(parent);
        ASSERT_TRUE(CreateDirectoryA(parent.c_str(), NULL));

        Outcome created = validate(parent + "\\Veltranox\\\\\\", notify);
        EXPECT_EQ(1, created.result);
        EXPECT_EQ(parent + "\\Veltranox", created.buffer);
        EXPECT_TRUE(is_folder(parent + "\\Veltranox"));
        EXPECT_EQ(0, lstrcmpiA(created.buffer.c_str(), created.current.c_str()));
        EXPECT_TRUE(created.notices.empty());

        Outcome entered = validate(parent + "\\Veltranox", notify);
        EXPECT_EQ(1, entered.result);
        EXPECT_EQ(created.current, entered.current);
        EXPECT_TRUE(entered.notices.empty());
    }
}

// C:\ is cut to "C:", which names the current folder of drive C.
TEST(LocationValidation, DriveRootBecomesDriveRelative)
{
    ASSERT_TRUE(CreateDirectoryA("C:\\vt-root", NULL));
    for (int notify = 1; notify >= 0; --notify) {
        char buffer[kPathSize] = "C:\\";
        SetCurrentDirectoryA("C:\\vt-root");
        NoticeLog boxes;
        EXPECT_EQ(1, location_validation(buffer, notify));
        EXPECT_TRUE(boxes.stop().empty());
        EXPECT_STREQ("C:", buffer);
        EXPECT_EQ("C:\\vt-root", current_directory());
    }
}

TEST(LocationValidation, FoldersUpTo227CharactersPass)
{
    // A parent of 200 characters; its last component makes up the rest.
    std::string parent = "C:\\vt-length\\" + std::string(187, 'p');
    ASSERT_EQ(200u, parent.size());
    ASSERT_TRUE(CreateDirectoryA("C:\\vt-length", NULL));
    ASSERT_TRUE(CreateDirectoryA(parent.c_str(), NULL));

    std::string longest = parent + "\\" + std::string(26, 'a');
    std::string tooLong = parent + "\\" + std::string(27, 'b');
    ASSERT_EQ(227u, longest.size());
    expect_rejected(tooLong + "\\\\", "27", "Folder name too long", tooLong);
    EXPECT_FALSE(exists(tooLong));

    // Trailing backslashes do not count.
    Outcome accepted = validate(longest + "\\\\\\", 0);
    EXPECT_EQ(1, accepted.result);
    EXPECT_EQ(longest, accepted.buffer);
    EXPECT_TRUE(is_folder(longest));
}

TEST(LocationValidation, ReadOnlyFolderIsRejectedAfterItWasEntered)
{
    const std::string folder = "C:\\vt-readonly";
    ASSERT_TRUE(CreateDirectoryA(folder.c_str(), NULL));
    ASSERT_TRUE(set_folder_writable(folder, false));
    Outcome loud = validate(folder, 1);
    expect_notice(loud, "14", "The folder is read only.");
    EXPECT_EQ(0, loud.result);
    EXPECT_EQ(folder, loud.current);
    expect_rejected(folder + "\\", "14", "The folder is read only.", folder);
    EXPECT_TRUE(set_folder_writable(folder, true));
}

// Wine cannot give a folder the temporary or offline attribute, nor make a
// file current, so the attribute decision is checked on its own.
TEST(FolderAttributes, TestedInOrderNotFolderReadOnlyTemporaryOffline)
{
    const DWORD dir = FILE_ATTRIBUTE_DIRECTORY;
    EXPECT_EQ(kLocationAccepted, folder_attribute_verdict(dir));
    EXPECT_EQ(kLocationAccepted, folder_attribute_verdict(dir | FILE_ATTRIBUTE_HIDDEN |
                                                          FILE_ATTRIBUTE_ARCHIVE));
    EXPECT_EQ(kLocationNotAFolder, folder_attribute_verdict(FILE_ATTRIBUTE_NORMAL));
    EXPECT_EQ(kLocationNotAFolder, folder_attribute_verdict(FILE_ATTRIBUTE_READONLY |
                                                            FILE_ATTRIBUTE_TEMPORARY));
    EXPECT_EQ(kLocationReadOnly, folder_attribute_verdict(dir | FILE_ATTRIBUTE_READONLY |
                                                          FILE_ATTRIBUTE_OFFLINE));
    EXPECT_EQ(kLocationInvalidFolder, folder_attribute_verdict(dir | FILE_ATTRIBUTE_TEMPORARY));
    EXPECT_EQ(kLocationInvalidFolder, folder_attribute_verdict(dir | FILE_ATTRIBUTE_OFFLINE));
    // A failed query gives all bits set and counts as read only.
    EXPECT_EQ(kLocationReadOnly, folder_attribute_verdict(INVALID_FILE_ATTRIBUTES));
}

TEST(FolderAttributes, NotFolderAndInvalidFolderNotices)
{
    NoticeLog boxes;
    location_rejection_notice(folder_attribute_verdict(FILE_ATTRIBUTE_ARCHIVE));
    location_rejection_notice(folder_attribute_verdict(FILE_ATTRIBUTE_DIRECTORY |
                                                       FILE_ATTRIBUTE_TEMPORARY));
    location_rejection_notice(kLocationAccepted);
    std::vector<robot::Notice> notices = boxes.stop();
    ASSERT_EQ(2u, notices.size());
    EXPECT_EQ("ERROR 13", notices[0].caption);
    EXPECT_EQ("The install location is not a folder.", notices[0].text);
    EXPECT_EQ("ERROR 15", notices[1].caption);
    EXPECT_EQ("Invalid folder", notices[1].text);
}

} // namespace
