#include "report/upload.h"

#include <string.h>
#include <wininet.h>

#include "registration/registry.h"
#include "report/report_config.h"
#include "setup/state.h"

char g_reportBody[kReportBodySize];

namespace {

const char kInternetSettingsPath[] =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings";
const char kFormHeader[] = "Content-Type: application/x-www-form-urlencoded";
// Reload from the server, keep it out of the cache, accept any certificate
// name and date, never show a dialog.
const DWORD kRequestFlags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE |
                            INTERNET_FLAG_IGNORE_CERT_DATE_INVALID |
                            INTERNET_FLAG_IGNORE_CERT_CN_INVALID | INTERNET_FLAG_NO_UI;
enum { kAnswerSize = 64 };

// Closes the internet handle it holds when it goes out of scope; declared
// in the order of opening, the guards close in reverse order.
struct InternetHandle {
    HINTERNET handle;
    explicit InternetHandle(HINTERNET opened) : handle(opened) {}
    ~InternetHandle()
    {
        if (handle != NULL)
            InternetCloseHandle(handle);
    }
    InternetHandle(const InternetHandle&) = delete;
    InternetHandle& operator=(const InternetHandle&) = delete;
};

BOOL post_report(DWORD length)
{
    InternetHandle internet(InternetOpenA("velt", INTERNET_OPEN_TYPE_PRECONFIG, NULL, NULL, 0));
    if (internet.handle == NULL)
        return FALSE;
    InternetHandle connection(InternetConnectA(internet.handle, kReportServerHost,
                                               INTERNET_DEFAULT_HTTP_PORT, kEmptyString,
                                               kEmptyString, INTERNET_SERVICE_HTTP, 0, 0));
    if (connection.handle == NULL)
        return FALSE;
    InternetHandle request(HttpOpenRequestA(connection.handle, "POST", "/vreport.asp", NULL, NULL,
                                            NULL, kRequestFlags, 0));
    if (request.handle == NULL)
        return FALSE;
    if (!HttpSendRequestA(request.handle, kFormHeader, sizeof kFormHeader - 1, g_reportBody,
                          length))
        return FALSE;
    char answer[kAnswerSize];
    DWORD received = 0;
    if (!InternetReadFile(request.handle, answer, sizeof answer, &received))
        return FALSE;
    return received == 2 && answer[0] == 'O' && answer[1] == 'K';
}

}  // namespace

LONG autodial_switch(DWORD newValue)
{
    HKEY key;
    if (open_key(HKEY_CURRENT_USER, kInternetSettingsPath, kKeyAccess, &key) != ERROR_SUCCESS)
        return -1;
    DWORD former = 0;
    if (read_dword_value(key, "EnableAutodial", &former) != ERROR_SUCCESS)
        former = 0;  // a failed read may leave anything in the buffer
    write_dword_value(key, "EnableAutoDial", newValue);
    RegCloseKey(key);
    return (LONG)former;
}

BOOL report_upload()
{
    // The body is text in a buffer of its own size: never measure past it.
    g_reportBody[kReportBodySize - 1] = '\0';
    DWORD length = (DWORD)strlen(g_reportBody);
    for (DWORD i = 0; i < length; ++i) {
        if (g_reportBody[i] == ' ')
            g_reportBody[i] = '+';
    }

    LONG former = autodial_switch(0);
    BOOL acknowledged = post_report(length);
    if (former != -1 && former != 0)
        autodial_switch((DWORD)former);
    return acknowledged;
}
