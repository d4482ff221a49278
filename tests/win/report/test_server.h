// Starts the stand-in report server (report_server.py, a Unix program that
// Wine starts for us), or the real one through it, on 127.0.0.1:80 and talks
// to it through the files of its own folder.
#pragma once
#include <string>

class TestReportServer {
public:
    TestReportServer();
    ~TestReportServer();  // stops the server and waits for the port to close

    // answers: comma-separated list of answer names (ok, ok-crlf, lower,
    // empty, error-page, status500-ok), one per request, the last one
    // repeated. hold: every answer waits for release(). Returns false (with
    // a reason in error()) when the server did not come up.
    bool start(const char* answers, int requests = 1, bool hold = false);
    // The project's own report server instead, with a fresh store and the
    // given summary password, until stop(); with symbolFile, a symbol file
    // in the folder of symbol files it reads.
    bool start_real(const char* password, const char* symbolFile = nullptr);
    // Raw bytes of request n (1, 2, ...), waiting up to timeoutMs for it;
    // empty when it did not arrive.
    std::string request(int n, unsigned timeoutMs = 60000) const;
    bool has_request(int n) const;
    void release();
    void stop();
    const std::string& error() const { return error_; }

private:
    std::string file(const char* name) const;
    bool launch(const std::string& arguments);
    std::string folder_;      // Windows path, with trailing backslash
    std::string unixFolder_;  // the same folder for the server
    bool running_ = false;
    std::string error_;
};

// The parts of a raw HTTP request.
struct HttpRequest {
    std::string requestLine;  // "POST /vreport.asp HTTP/1.1"
    std::string headers;      // header lines, each ending in "\r\n"
    std::string body;
};
HttpRequest split_request(const std::string& raw);
// The value of header name (matched without regard to case), or "<none>".
std::string header_value(const HttpRequest& request, const char* name);
