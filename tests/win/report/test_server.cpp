#include "test_server.h"

#include <string.h>
#include <windows.h>

namespace {

typedef char* (CDECL* UnixNameFn)(const WCHAR*);
typedef WCHAR* (CDECL* DosNameFn)(const char*);

// Wine's own path conversions (kernel32 exports of Wine).
std::string unix_name(const std::string& windowsPath)
{
    UnixNameFn convert = (UnixNameFn)GetProcAddress(GetModuleHandleA("kernel32.dll"),
                                                    "wine_get_unix_file_name");
    if (convert == NULL)
        return "";
    WCHAR wide[MAX_PATH];
    MultiByteToWideChar(CP_ACP, 0, windowsPath.c_str(), -1, wide, MAX_PATH);
    char* name = convert(wide);
    if (name == NULL)
        return "";
    std::string result = name;
    HeapFree(GetProcessHeap(), 0, name);
    return result;
}

std::string dos_name(const char* unixPath)
{
    DosNameFn convert = (DosNameFn)GetProcAddress(GetModuleHandleA("kernel32.dll"),
                                                  "wine_get_dos_file_name");
    if (convert == NULL)
        return "";
    WCHAR* wide = convert(unixPath);
    if (wide == NULL)
        return "";
    char name[MAX_PATH];
    WideCharToMultiByte(CP_ACP, 0, wide, -1, name, MAX_PATH, NULL, NULL);
    HeapFree(GetProcessHeap(), 0, wide);
    return name;
}

bool exists(const std::string& path)
{
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool wait_for(const std::string& path, unsigned timeoutMs)
{
    DWORD start = GetTickCount();
    while (!exists(path)) {
        if (GetTickCount() - start > timeoutMs)
            return false;
        Sleep(20);
    }
    return true;
}

void touch(const std::string& path)
{
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL);
    if (file != INVALID_HANDLE_VALUE)
        CloseHandle(file);
}

}  // namespace

TestReportServer::TestReportServer()
{
    static int serial = 0;
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    char name[MAX_PATH];
    wsprintfA(name, "%sreport-server-%lu-%d\\", temp, GetCurrentProcessId(), ++serial);
    folder_ = name;
    CreateDirectoryA(folder_.c_str(), NULL);
    unixFolder_ = unix_name(folder_);
}

TestReportServer::~TestReportServer() { stop(); }

std::string TestReportServer::file(const char* name) const { return folder_ + name; }

bool TestReportServer::start(const char* answers, int requests, bool hold)
{
    char count[16];
    wsprintfA(count, "%d", requests);
    return launch(std::string("--answer ") + answers + " --requests " + count +
                  (hold ? " --hold" : ""));
}

bool TestReportServer::start_real(const char* password, const char* symbolFile)
{
    std::string symbols;
    if (symbolFile != nullptr) {
        CreateDirectoryA(file("symbols").c_str(), NULL);
        if (!CopyFileA(symbolFile, file("symbols\\build.sym").c_str(), FALSE)) {
            error_ = std::string("cannot copy ") + symbolFile;
            return false;
        }
        symbols = " --symbols \"" + unixFolder_ + "/symbols\"";
    }
    HANDLE handle = CreateFileA(file("password").c_str(), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS,
                                0, NULL);
    DWORD written = 0;
    bool saved = handle != INVALID_HANDLE_VALUE &&
                 WriteFile(handle, password, (DWORD)strlen(password), &written, NULL) &&
                 written == strlen(password);
    if (handle != INVALID_HANDLE_VALUE)
        CloseHandle(handle);
    if (!saved) {
        error_ = "cannot write the password file";
        return false;
    }
    return launch("--real" + symbols);
}

bool TestReportServer::launch(const std::string& arguments)
{
    std::string python = dos_name("/usr/bin/python3");
    if (python.empty() || unixFolder_.empty()) {
        error_ = "Wine's path conversion is not available";
        return false;
    }
    std::string commandLine = "\"" + python + "\" \"" REPORT_SERVER_SCRIPT "\" --dir \"" +
                              unixFolder_ + "\" " + arguments;
    STARTUPINFOA startup = {sizeof startup};
    PROCESS_INFORMATION process;
    // Wine runs a Unix program when it is given one; the process
    // information it returns is not a real process, so the server is
    // watched through its files only.
    if (!CreateProcessA(python.c_str(), &commandLine[0], NULL, NULL, FALSE, 0, NULL, NULL,
                        &startup, &process)) {
        error_ = "cannot start " + commandLine;
        return false;
    }
    running_ = true;
    DWORD begin = GetTickCount();
    while (!exists(file("ready"))) {
        if (exists(file("exited"))) {
            error_ = "the server gave up (port 80 taken?): " + commandLine;
            return false;
        }
        if (GetTickCount() - begin > 60000) {
            error_ = "the server did not come up: " + commandLine;
            return false;
        }
        Sleep(20);
    }
    return true;
}

bool TestReportServer::has_request(int n) const
{
    char name[32];
    wsprintfA(name, "request-%d.bin", n);
    return exists(file(name));
}

std::string TestReportServer::request(int n, unsigned timeoutMs) const
{
    char name[32];
    wsprintfA(name, "request-%d.bin", n);
    if (!wait_for(file(name), timeoutMs))
        return "";
    HANDLE handle = CreateFileA(file(name).c_str(), GENERIC_READ, FILE_SHARE_READ, NULL,
                                OPEN_EXISTING, 0, NULL);
    if (handle == INVALID_HANDLE_VALUE)
        return "";
    std::string bytes(GetFileSize(handle, NULL), '\0');
    DWORD read = 0;
    if (!bytes.empty())
        ReadFile(handle, &bytes[0], (DWORD)bytes.size(), &read, NULL);
    CloseHandle(handle);
    bytes.resize(read);
    return bytes;
}

void TestReportServer::release() { touch(file("release")); }

void TestReportServer::stop()
{
    if (!running_)
        return;
    running_ = false;
    touch(file("stop"));
    // The next server of the test needs the port: wait until it is free.
    wait_for(file("exited"), 60000);
}

HttpRequest split_request(const std::string& raw)
{
    HttpRequest request;
    size_t lineEnd = raw.find("\r\n");
    size_t headEnd = raw.find("\r\n\r\n");
    if (lineEnd == std::string::npos || headEnd == std::string::npos)
        return request;
    request.requestLine = raw.substr(0, lineEnd);
    request.headers = raw.substr(lineEnd + 2, headEnd + 2 - (lineEnd + 2));
    request.body = raw.substr(headEnd + 4);
    return request;
}

std::string header_value(const HttpRequest& request, const char* name)
{
    size_t at = 0;
    std::string wanted = std::string(name) + ":";
    while (at < request.headers.size()) {
        size_t end = request.headers.find("\r\n", at);
        std::string line = request.headers.substr(at, end - at);
        if (line.size() >= wanted.size() &&
            CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, line.c_str(), (int)wanted.size(),
                           wanted.c_str(), (int)wanted.size()) == CSTR_EQUAL) {
            size_t value = wanted.size();
            while (value < line.size() && line[value] == ' ')
                ++value;
            return line.substr(value);
        }
        at = end + 2;
    }
    return "<none>";
}
