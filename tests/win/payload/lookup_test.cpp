// The payload resource lookup against Wine's resource functions: a resource
// found, sized and loaded; a missing one and an empty one each refused with
// its system error notice, read back from the screen by the UI robot.
#include <gtest/gtest.h>

#include <string>

#include "payload/resource.h"
#include "tests/support/benchutil.h"
#include "tests/support/robot.h"

namespace {

const UINT kSampleId = 200;   // lookup_sample.txt
const UINT kEmptyId = 201;    // empty.bin
const UINT kUnlistedId = 202; // lookup_sample.txt again, not in the checksum table
const UINT kMissingId = 300;
const char kSample[] = "A payload resource of the lookup tests.\r\nSecond line.";

class LookupTest : public testing::Test {
protected:
    void SetUp() override { robot_.start(); }
    void TearDown() override { robot_.stop(); }
    robot::Robot robot_;
};

TEST_F(LookupTest, FindsSizesAndLoadsAResourceWithoutANotice)
{
    DWORD size = 0xDEADBEEF;
    HGLOBAL resource = find_payload_resource(kSampleId, &size);
    ASSERT_NE(resource, nullptr);
    ASSERT_EQ(size, sizeof(kSample) - 1);
    const char* bytes = static_cast<const char*>(LockResource(resource));
    ASSERT_NE(bytes, nullptr);
    EXPECT_EQ(std::string(bytes, size), kSample);
    FreeResource(resource);

    // Only the low 16 bits of the id name the resource.
    size = 0;
    resource = find_payload_resource(0x10000 + kSampleId, &size);
    EXPECT_NE(resource, nullptr);
    EXPECT_EQ(size, sizeof(kSample) - 1);
    FreeResource(resource);

    EXPECT_EQ(robot_.notice_count(), 0u);
}

TEST_F(LookupTest, MissingOrUnlistedResourceShowsItsNoticeWithTheSystemMessage)
{
    DWORD size = 12345;
    EXPECT_EQ(find_payload_resource(kMissingId, &size), nullptr);
    ASSERT_TRUE(robot_.wait_for_notices(1, 60000));
    std::vector<robot::Notice> notices = robot_.notices();
    ASSERT_EQ(notices.size(), 1u);
    EXPECT_EQ(notices[0].caption, "ERROR 60");
    // The program has "FILE" resources, just not this one.
    EXPECT_EQ(notices[0].text, system_text(ERROR_RESOURCE_NAME_NOT_FOUND));
    EXPECT_EQ(notices[0].owner, nullptr);
    EXPECT_EQ(notices[0].icon, robot::Icon::Error);

    // Present, but without a checksum to compare with: refused as bytes
    // that are not those built in.
    EXPECT_EQ(find_payload_resource(kUnlistedId, &size), nullptr);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_CRC);
    ASSERT_TRUE(robot_.wait_for_notices(2, 60000));
    notices = robot_.notices();
    ASSERT_EQ(notices.size(), 2u);
    EXPECT_EQ(notices[1].caption, "ERROR 62");
    EXPECT_EQ(notices[1].text, system_text(ERROR_CRC));
}

TEST_F(LookupTest, EmptyResourceFailsWithSizeZero)
{
    // With no error number to report, the failure is silent.
    DWORD size = 12345;
    SetLastError(0);
    EXPECT_EQ(find_payload_resource(kEmptyId, &size), nullptr);
    EXPECT_EQ(size, 0u);
    Sleep(300);
    EXPECT_EQ(robot_.notice_count(), 0u);
}

TEST_F(LookupTest, EmptyResourceReportsAPendingErrorNumberAsNotice61)
{
    // SizeofResource gives 0 without an error of its own; the number the
    // system holds at that moment is what the notice shows.
    DWORD size = 12345;
    SetLastError(ERROR_INVALID_DATA);
    EXPECT_EQ(find_payload_resource(kEmptyId, &size), nullptr);
    EXPECT_EQ(size, 0u);
    ASSERT_TRUE(robot_.wait_for_notices(1, 60000));
    std::vector<robot::Notice> notices = robot_.notices();
    ASSERT_EQ(notices.size(), 1u);
    EXPECT_EQ(notices[0].caption, "ERROR 61");
    EXPECT_EQ(notices[0].text, system_text(ERROR_INVALID_DATA));
    EXPECT_EQ(notices[0].owner, nullptr);
}

}  // namespace
