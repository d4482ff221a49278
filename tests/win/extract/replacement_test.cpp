// Main program replacement: version rules with real versioned programs, a
// copy held by another process, an image that never comes free, a move that
// fails, and a first installation.
#include <gtest/gtest.h>

#include "payload/catalogue.h"
#include "payload/replace.h"
#include "tests/support/benchutil.h"
#include "tests/support/robot.h"
#include "tests/win/extract/fixtures.h"

namespace {

const UINT kMainProgram = kPayloadCatalogue[kMainProgramEntry].id;

class Replacement : public FreshFoldersTest {
protected:
    std::string main_program() const { return folder_ + "\\Veltranox.exe"; }
    std::string image() const { return folder_ + "\\image.tmp"; }

    // Puts a copy of a version probe in place of the installed program.
    std::string install_probe(const char* probe)
    {
        std::string bytes = read_file(sibling_path(probe));
        EXPECT_FALSE(bytes.empty()) << probe;
        EXPECT_TRUE(write_file(main_program(), bytes));
        return bytes;
    }

    void expect_replaced()
    {
        EXPECT_EQ(expected_file(kMainProgram), read_file(main_program()));
        EXPECT_FALSE(file_exists(image()));
        EXPECT_FALSE(file_exists(temp_ + "data.tmp"));
    }
};

TEST_F(Replacement, VersionQueryReadsFirstNumberAndLeastSignificantDword)
{
    DWORD major = 7, least = 7;
    EXPECT_EQ(1, file_version_query(sibling_path("version_1_9_0_0.exe").c_str(), &major, &least));
    EXPECT_EQ(1u, major);
    EXPECT_EQ(0u, least);
    EXPECT_EQ(1, file_version_query(sibling_path("version_1_0_1_0.exe").c_str(), &major, &least));
    EXPECT_EQ(1u, major);
    EXPECT_EQ(0x10000u, least);
    EXPECT_EQ(1, file_version_query(sibling_path("version_0_9_9_9.exe").c_str(), &major, &least));
    EXPECT_EQ(0u, major);
    EXPECT_EQ(0x90009u, least);

    major = least = 7;
    EXPECT_EQ(0, file_version_query(sibling_path("hold_file.exe").c_str(), &major, &least));
    EXPECT_EQ(0u, major);
    EXPECT_EQ(0u, least);
    major = least = 7;
    EXPECT_EQ(0, file_version_query("C:\\extract-tests\\absent.exe", &major, &least));
    EXPECT_EQ(0u, major);
    EXPECT_EQ(0u, least);
}

TEST_F(Replacement, NewerInstalledCopiesAreKeptOlderOnesReplaced)
{
    struct Case {
        const char* probe;
        int result;
    };
    const Case cases[] = {
        {"version_2_0_0_0.exe", kNewerInstalled},
        {"version_1_0_0_2.exe", kNewerInstalled},
        {"version_1_0_1_0.exe", kNewerInstalled},
        {"version_1_0_0_1.exe", kReplaced},
        {"version_1_9_0_0.exe", kReplaced}, // the second number takes no part
        {"version_0_9_9_9.exe", kReplaced},
        {"hold_file.exe", kReplaced},       // no version block at all
    };
    SetupScope scope(folder_, temp_);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.probe);
        std::string old = install_probe(c.probe);
        // Read-only copies are no obstacle either way.
        SetFileAttributesA(main_program().c_str(), FILE_ATTRIBUTE_READONLY);
        EXPECT_EQ(c.result, main_program_replacement());
        if (c.result == kNewerInstalled) {
            EXPECT_EQ(old, read_file(main_program()));
            EXPECT_FALSE(file_exists(image()));
            SetFileAttributesA(main_program().c_str(), FILE_ATTRIBUTE_NORMAL);
        } else {
            expect_replaced();
        }
    }
    EXPECT_EQ(0u, robot_.notice_count());
}

TEST_F(Replacement, FirstInstallationWaitsOnlyForTheImage)
{
    SetupScope scope(folder_, temp_);
    SleepWatch sleeps;
    ASSERT_TRUE(sleeps.hooked());
    EXPECT_EQ(kReplaced, main_program_replacement());
    expect_replaced();
    // One image wait of 100 ms: the image is moved into place in one step,
    // with no delete attempts on the missing old copy.
    EXPECT_EQ(100u, sleeps.total());
    EXPECT_EQ(0u, robot_.notice_count());
}

TEST_F(Replacement, CopyInUseIsWaitedForOnce)
{
    SetupScope scope(folder_, temp_);
    std::string old = install_probe("version_0_9_9_9.exe");

    // Held until the replacement has given up: in use, nothing touched,
    // after one wait of 3 s.
    HANDLE holder = start_holder(main_program());
    ASSERT_NE(nullptr, holder);
    {
        SleepWatch sleeps;
        ASSERT_TRUE(sleeps.hooked());
        EXPECT_EQ(kMainProgramInUse, main_program_replacement());
        EXPECT_EQ(3000u, sleeps.total());
    }
    EXPECT_FALSE(file_exists(image()));
    EXPECT_EQ(0, finish_holder(holder));
    EXPECT_EQ(old, read_file(main_program()));

    // Let go during the wait: replaced like any other copy.
    holder = start_holder(main_program());
    ASSERT_NE(nullptr, holder);
    {
        SleepWatch sleeps;
        ASSERT_TRUE(sleeps.hooked());
        int released = -1;
        sleeps.on_sleep(3000, [&] { released = finish_holder(holder); });
        EXPECT_EQ(kReplaced, main_program_replacement());
        EXPECT_EQ(0, released) << "the replacement did not wait for the copy in use";
    }
    expect_replaced();
    EXPECT_EQ(0u, robot_.notice_count());
}

TEST_F(Replacement, ImageThatNeverComesFreeIsGivenUpAndDeleted)
{
    SetupScope scope(folder_, temp_);
    std::string old = install_probe("version_1_0_0_1.exe");
    // A "scanner" that seizes image.tmp once the expansion has let go, as
    // the wait before the first open begins, and keeps it (allowing
    // deletion) until the replacement has given up.
    HANDLE holder = nullptr;
    {
        SleepWatch sleeps;
        ASSERT_TRUE(sleeps.hooked());
        sleeps.on_sleep(100, [&] { holder = start_holder(image(), true); });
        EXPECT_EQ(kReplacementFailed, main_program_replacement());
        ASSERT_NE(nullptr, holder) << "image.tmp could not be seized";
        // Three opens, each 100 ms after the last failure, each failure
        // waited on for 1 s.
        EXPECT_EQ(3300u, sleeps.total());
    }
    ASSERT_EQ(1u, robot_.notice_count());
    EXPECT_EQ("ERROR 28", robot_.notices()[0].caption);
    EXPECT_EQ(old, read_file(main_program()));
    EXPECT_EQ(0, finish_holder(holder));
    EXPECT_FALSE(file_exists(image()));
}

TEST_F(Replacement, FailedMoveIsReportedAndTheImageDeleted)
{
    SetupScope scope(folder_, temp_);
    // An old "program" that cannot be opened as a file nor deleted: a
    // folder with something in it.
    ASSERT_TRUE(CreateDirectoryA(main_program().c_str(), nullptr));
    ASSERT_TRUE(write_file(main_program() + "\\inside.txt", "x"));

    EXPECT_EQ(kReplacementFailed, main_program_replacement());
    ASSERT_EQ(1u, robot_.notice_count());
    robot::Notice notice = robot_.notices()[0];
    EXPECT_EQ("ERROR 37", notice.caption);
    EXPECT_FALSE(notice.text.empty());
    EXPECT_FALSE(file_exists(image()));
    EXPECT_TRUE(file_exists(main_program() + "\\inside.txt"));
}

TEST_F(Replacement, UnwritableTempFolderFailsWithItsReason)
{
    SetupScope scope(folder_, "C:\\extract-tests\\no-such-temp\\");
    std::string old = install_probe("version_0_9_9_9.exe");
    EXPECT_EQ(kReplacementFailed, main_program_replacement());
    ASSERT_EQ(1u, robot_.notice_count());
    EXPECT_EQ("ERROR 34", robot_.notices()[0].caption);
    EXPECT_EQ(old, read_file(main_program()));
    EXPECT_FALSE(file_exists(image()));
}

} // namespace
