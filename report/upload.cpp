#include "report/upload.h"

#include <string.h>
#include <wininet.h>

#include "common/registry.h"
#include "report/report_config.h"
#include "setup/state.h"
#include "common/system_library.h"

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

// WinINet, loaded from the system directory on the first upload and kept
// from then on. Uploads run in the crash filter and are retried every ten
// minutes: a library whose own threads may outlive a request is not
// unloaded and loaded again in a process that has already failed once.
HMODULE internet_library()
{
    static HMODULE library = NULL;
    if (library == NULL)
        library = load_system_library("wininet.dll");
    return library;
}

// Closes the internet handle it holds when it goes out of scope; declared
// in the order of opening, the guards close in reverse order.
struct InternetHandle {
    HINTERNET handle;
    decltype(&InternetCloseHandle) close;
    InternetHandle(HINTERNET opened, decltype(&InternetCloseHandle) closer)
        : handle(opened), close(closer)
    {
    }
    ~InternetHandle()
    {
        if (handle != NULL && close != NULL)
            close(handle);
    }
    InternetHandle(const InternetHandle&) = delete;
    InternetHandle& operator=(const InternetHandle&) = delete;
};

BOOL post_report(DWORD length)
{
    // WinINet or an entry of it that cannot be had fails the upload like
    // the call it stands for.
    HMODULE wininet = internet_library();
    auto internetOpen = MODULE_ENTRY(wininet, InternetOpenA);
    auto internetConnect = MODULE_ENTRY(wininet, InternetConnectA);
    auto openRequest = MODULE_ENTRY(wininet, HttpOpenRequestA);
    auto sendRequest = MODULE_ENTRY(wininet, HttpSendRequestA);
    auto readFile = MODULE_ENTRY(wininet, InternetReadFile);
    auto closeHandle = MODULE_ENTRY(wininet, InternetCloseHandle);
    if (internetOpen == NULL)
        return FALSE;
    InternetHandle internet(internetOpen("velt", INTERNET_OPEN_TYPE_PRECONFIG, NULL, NULL, 0),
                            closeHandle);
    if (internet.handle == NULL || internetConnect == NULL)
        return FALSE;
    InternetHandle connection(internetConnect(internet.handle, kReportServerHost,
                                              INTERNET_DEFAULT_HTTP_PORT, kEmptyString,
                                              kEmptyString, INTERNET_SERVICE_HTTP, 0, 0),
                              closeHandle);
    if (connection.handle == NULL || openRequest == NULL)
        return FALSE;
    InternetHandle request(openRequest(connection.handle, "POST", "/vreport.asp", NULL, NULL,
                                       NULL, kRequestFlags, 0),
                           closeHandle);
    if (request.handle == NULL || sendRequest == NULL)
        return FALSE;
    if (!sendRequest(request.handle, kFormHeader, sizeof kFormHeader - 1, g_reportBody, length))
        return FALSE;
    char answer[kAnswerSize];
    DWORD received = 0;
    if (readFile == NULL || !readFile(request.handle, answer, sizeof answer, &received))
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
