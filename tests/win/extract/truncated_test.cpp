// A main program container that ends too early must not replace a working
// installed copy: this program carries such a container as its payload 106,
// and as payload 107 a whole container in another mode than 'A'.
#include <gtest/gtest.h>

#include "payload/extract.h"
#include "payload/replace.h"
#include "tests/support/benchutil.h"
#include "tests/support/robot.h"
#include "tests/win/extract/fixtures.h"

namespace {

std::string system_message(DWORD error)
{
    char text[512] = "";
    FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error,
                   0x400, text, sizeof text, nullptr);
    return text;
}

TEST(TruncatedMainProgram, FailsWithItsReasonAndKeepsTheOldCopy)
{
    std::string folder = fresh_folder("truncated");
    std::string temp = fresh_folder("truncated-temp");
    robot::Robot robot;
    robot.start();
    SetupScope scope(folder, temp + "\\");
    std::string old = read_file(sibling_path("version_1_0_0_1.exe"));
    ASSERT_FALSE(old.empty());
    std::string mainProgram = folder + "\\Veltranox.exe";
    ASSERT_TRUE(write_file(mainProgram, old));

    EXPECT_EQ(kReplacementFailed, main_program_replacement());
    ASSERT_EQ(1u, robot.notice_count());
    robot::Notice notice = robot.notices()[0];
    EXPECT_EQ("ERROR 34", notice.caption);
    EXPECT_EQ(system_message(ERROR_INVALID_DATA), notice.text);
    EXPECT_EQ(old, read_file(mainProgram));
    EXPECT_FALSE(file_exists(temp + "\\data.tmp"));

    // Not mode 'A': refused as invalid data before anything is written.
    SetLastError(0);
    EXPECT_EQ(0, compressed_install(107, folder.c_str(), "other.exe"));
    EXPECT_EQ((DWORD)ERROR_INVALID_DATA, GetLastError());
    EXPECT_FALSE(file_exists(folder + "\\other.exe"));
    EXPECT_FALSE(file_exists(temp + "\\data.tmp"));
    EXPECT_EQ(1u, robot.notice_count());
}

} // namespace
