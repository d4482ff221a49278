// The report upload against a stand-in report server on 127.0.0.1:80: the
// request it sends, which answers count as an acknowledgement, and the
// autodial setting around the attempt.
#include <gtest/gtest.h>
#include <string.h>
#include <windows.h>

#include <string>

#include "report/upload.h"
#include "test_server.h"
#include "tests/support/benchutil.h"

namespace {

const char kInternetSettings[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings";
const char kBody[] =
    "log=INSTALLER ERROR%0A%0DEXCEPTION_ACCESS_VIOLATION%0A%0Dat 00000ABC%0A%0D"
    "Build: 043%0A%0D";
const char kSentBody[] =
    "log=INSTALLER+ERROR%0A%0DEXCEPTION_ACCESS_VIOLATION%0A%0Dat+00000ABC%0A%0D"
    "Build:+043%0A%0D";

// "EnableAutodial" as stored: its value, or -2 when missing, -3 when it is
// not a 4-byte REG_DWORD.
long long stored_autodial()
{
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kInternetSettings, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return -2;
    DWORD value = 0, size = sizeof value, type = 0;
    LONG status = RegQueryValueExA(key, "EnableAutodial", NULL, &type, (BYTE*)&value, &size);
    RegCloseKey(key);
    if (status == ERROR_FILE_NOT_FOUND)
        return -2;
    if (status != ERROR_SUCCESS || type != REG_DWORD || size != 4)
        return -3;
    return value;
}

void set_autodial(DWORD value)
{
    HKEY key;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyA(HKEY_CURRENT_USER, kInternetSettings, &key));
    RegSetValueExA(key, "EnableAutodial", 0, REG_DWORD, (const BYTE*)&value, sizeof value);
    RegCloseKey(key);
}

void remove_autodial()
{
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kInternetSettings, 0, KEY_SET_VALUE, &key) ==
        ERROR_SUCCESS) {
        RegDeleteValueA(key, "EnableAutodial");
        RegCloseKey(key);
    }
}

DWORD WINAPI upload_thread(void* result)
{
    *(BOOL*)result = report_upload();
    return 0;
}

class UploadTest : public testing::Test {
protected:
    void SetUp() override
    {
        strcpy(g_reportBody, kBody);
        remove_autodial();
    }
    TestReportServer server;
};

TEST_F(UploadTest, PostsTheFormWithBlanksAsPlusAndTakesOkAsAcknowledgement)
{
    ASSERT_TRUE(server.start("ok", 2)) << server.error();
    EXPECT_TRUE(report_upload());
    EXPECT_STREQ(kSentBody, g_reportBody);

    std::string raw = server.request(1);
    HttpRequest request = split_request(raw);
    EXPECT_EQ("POST /vreport.asp HTTP/1.1", request.requestLine) << raw;
    EXPECT_EQ("velt", header_value(request, "User-Agent")) << raw;
    EXPECT_EQ("application/x-www-form-urlencoded", header_value(request, "Content-Type")) << raw;
    EXPECT_EQ("127.0.0.1", header_value(request, "Host")) << raw;
    EXPECT_EQ("90", header_value(request, "Content-Length")) << raw;
    // Reload from the server: WinINet asks caches on the way not to answer.
    EXPECT_EQ("no-cache", header_value(request, "Cache-Control")) << raw;
    EXPECT_EQ("<none>", header_value(request, "Authorization")) << raw;
    EXPECT_EQ(kSentBody, request.body);

    // A second attempt over the converted body sends the same bytes.
    EXPECT_TRUE(report_upload());
    EXPECT_EQ(raw, server.request(2));
}

TEST_F(UploadTest, OnlyABodyOfExactlyOkIsAnAcknowledgement)
{
    const struct {
        const char* answer;
        BOOL acknowledged;
    } cases[] = {
        {"ok-crlf", FALSE},     {"lower", FALSE}, {"empty", FALSE},
        {"error-page", FALSE},  {"status500-ok", TRUE},  // the status is not looked at
        {"ok", TRUE},
    };
    std::string answers;
    for (const auto& c : cases)
        answers += std::string(answers.empty() ? "" : ",") + c.answer;
    ASSERT_TRUE(server.start(answers.c_str(), 6)) << server.error();
    int n = 0;
    for (const auto& c : cases) {
        ++n;
        EXPECT_EQ(c.acknowledged, report_upload()) << c.answer;
        EXPECT_TRUE(server.has_request(n)) << c.answer;
    }
}

TEST_F(UploadTest, RefusedConnectionIsNoAcknowledgement)
{
    // Nothing listens on port 80.
    EXPECT_FALSE(report_upload());
    EXPECT_STREQ(kSentBody, g_reportBody);
}

TEST_F(UploadTest, AutodialIsOffDuringTheAttemptAndPutBackAfterIt)
{
    set_autodial(1);
    ASSERT_TRUE(server.start("ok", 1, true)) << server.error();
    BOOL acknowledged = FALSE;
    HANDLE thread = CreateThread(NULL, 0, upload_thread, &acknowledged, 0, NULL);
    ASSERT_NE(nullptr, thread);
    // The server holds its answer: the request is in flight.
    EXPECT_FALSE(server.request(1).empty());
    EXPECT_EQ(0, stored_autodial());
    server.release();
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(thread, 30000));
    CloseHandle(thread);
    EXPECT_TRUE(acknowledged);
    EXPECT_EQ(1, stored_autodial());

    // Any other "on" value comes back as it was, also after a failure.
    set_autodial(0x00010002);
    EXPECT_FALSE(report_upload());
    EXPECT_EQ(0x00010002, stored_autodial());
}

TEST_F(UploadTest, AutodialOffMissingOrAllOnesIsZeroAfterTheAttempt)
{
    // Nothing listens: each attempt fails, which changes nothing here.
    EXPECT_FALSE(report_upload());
    EXPECT_EQ(0, stored_autodial()) << "a missing value is created with 0";

    set_autodial(0);
    EXPECT_FALSE(report_upload());
    EXPECT_EQ(0, stored_autodial());

    // 0xFFFFFFFF reads as -1, which also means "key not opened": not put back.
    set_autodial(0xFFFFFFFF);
    EXPECT_FALSE(report_upload());
    EXPECT_EQ(0, stored_autodial());
}

TEST_F(UploadTest, AutodialSwitchReportsTheFormerValue)
{
    EXPECT_EQ(0, autodial_switch(7));  // missing
    EXPECT_EQ(7, autodial_switch(9));
    EXPECT_EQ(9, stored_autodial());

    // The stored type is not looked at: a short string gives its bytes.
    HKEY key;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyA(HKEY_CURRENT_USER, kInternetSettings, &key));
    RegSetValueExA(key, "EnableAutodial", 0, REG_SZ, (const BYTE*)"1", 2);
    // A value longer than 4 bytes cannot be read: former is 0.
    EXPECT_EQ(0x31, autodial_switch(0));
    RegSetValueExA(key, "EnableAutodial", 0, REG_BINARY, (const BYTE*)"\1\2\3\4\5\6", 6);
    RegCloseKey(key);
    EXPECT_EQ(0, autodial_switch(0));
    EXPECT_EQ(0, stored_autodial());
}

TEST_F(UploadTest, UnopenableInternetSettingsStillUpload)
{
    set_autodial(1);
    ReadOnlyKey readOnly(HKEY_CURRENT_USER, kInternetSettings);
    ASSERT_EQ(0, readOnly.status());
    EXPECT_EQ(-1, autodial_switch(0));

    ASSERT_TRUE(server.start("ok")) << server.error();
    EXPECT_TRUE(report_upload());
    EXPECT_EQ(kSentBody, split_request(server.request(1)).body);
    EXPECT_EQ(1, stored_autodial()) << "nothing written to the key";
}

}  // namespace
