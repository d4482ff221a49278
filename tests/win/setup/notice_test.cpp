#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "setup/notice.h"
#include "tests/support/benchutil.h"
#include "tests/support/robot.h"

namespace {

class Notices : public testing::Test {
protected:
    void SetUp() override { robot_.start(); }
    void TearDown() override { robot_.stop(); }

    // The one box shown since the last call; fails when there was not
    // exactly one.
    robot::Notice only_notice()
    {
        auto notices = robot_.notices();
        robot_.clear_notices();
        EXPECT_EQ(1u, notices.size());
        return notices.empty() ? robot::Notice() : notices[0];
    }

    robot::Robot robot_;
};

} // namespace

// An error notice: an unowned box with the error icon and OK alone, the
// caption "ERROR " and the step code, and the text exactly as given.
TEST_F(Notices, ErrorNoticeShowsCaptionTextAndErrorIcon)
{
    const struct {
        const char* code;
        const char* text;
    } cases[] = {
        {"1A", "Unable to access system registry.  Installation aborted."},
        {"DC5", "Unable to to decompress files"},
        {"2", "Unable to locate Windows directory"},
    };
    for (const auto& c : cases) {
        error_notice(c.text, c.code);
        robot::Notice notice = only_notice();
        EXPECT_EQ(std::string("ERROR ") + c.code, notice.caption);
        EXPECT_EQ(c.text, notice.text);
        EXPECT_EQ(robot::Icon::Error, notice.icon) << c.code;
        EXPECT_EQ(std::vector<int>{IDOK}, notice.buttons) << c.code;
        EXPECT_EQ(nullptr, notice.owner) << c.code;
    }
}

// Error number 0 shows nothing at all.
TEST_F(Notices, SystemErrorNoticeForZeroShowsNothing)
{
    system_error_notice(0, "61");
    Sleep(100);
    EXPECT_EQ(0u, robot_.notice_count());
}

// A known number shows the system's text unchanged (line break included).
TEST_F(Notices, SystemErrorNoticeShowsTheSystemText)
{
    std::string expected = system_text(ERROR_ACCESS_DENIED);
    ASSERT_FALSE(expected.empty());
    system_error_notice(ERROR_ACCESS_DENIED, "22");
    robot::Notice notice = only_notice();
    EXPECT_EQ("ERROR 22", notice.caption);
    // The box shows the text as given; only a trailing line break may be
    // trimmed by the box's own label.
    EXPECT_EQ(expected.substr(0, expected.find_last_not_of("\r\n") + 1),
              notice.text.substr(0, notice.text.find_last_not_of("\r\n") + 1));
    EXPECT_EQ(robot::Icon::Error, notice.icon);
}

// A message with an insert (%1) and no arguments: shown with the insert as
// it stands, instead of failing or reading arguments that do not exist.
TEST_F(Notices, SystemErrorNoticeLeavesInsertsAsTheyStand)
{
    std::string expected = system_text(ERROR_BAD_EXE_FORMAT);
    ASSERT_NE(std::string::npos, expected.find("%1")) << "pick a message with an insert";
    system_error_notice(ERROR_BAD_EXE_FORMAT, "37");
    robot::Notice notice = only_notice();
    EXPECT_EQ("ERROR 37", notice.caption);
    EXPECT_NE(std::string::npos, notice.text.find("%1")) << notice.text;
}

// A number the system has no text for still gives a box that names it.
TEST_F(Notices, SystemErrorNoticeWithoutSystemTextNamesTheNumber)
{
    const DWORD unknown = 12345678;
    ASSERT_TRUE(system_text(unknown).empty());
    system_error_notice(unknown, "28");
    robot::Notice notice = only_notice();
    EXPECT_EQ("ERROR 28", notice.caption);
    EXPECT_NE(std::string::npos, notice.text.find("12345678")) << notice.text;
}
