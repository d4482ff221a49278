// Shared pieces of the extraction and replacement tests: files and folders,
// the payload we carry and what it must expand to, and a setup state that
// points at a test's own folders.
#pragma once
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "setup/state.h"
#include "tests/support/benchutil.h"
#include "tests/support/files.h"
#include "tests/support/robot.h"

// C:\extract-tests\<name>, created empty (whatever an earlier run left
// there is removed first). Ends without a backslash.
std::string fresh_folder(const std::string& name);

// The bytes of resource id of the given type in this executable.
std::string resource_bytes(UINT id, const char* type);
// What catalogue entry id must become on disk: the original file, carried
// by the test executable as resource type "EXPECTED".
std::string expected_file(UINT id);

// Milliseconds since some fixed point, for the waits the tests look at.
DWORD now_ms();

// A test with its own install folder and temp folder, both fresh and named
// after the test (temp_ ends with a backslash), and a robot that records
// the notices shown meanwhile.
class FreshFoldersTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    std::string folder_;
    std::string temp_;
    robot::Robot robot_;
};

// Points the setup state at a test's folders for its lifetime, and puts
// the previous state back afterwards. The main program path follows the
// install folder.
class SetupScope {
public:
    SetupScope(const std::string& installFolder, const std::string& tempFolder,
               const std::string& windowsDirectory = std::string());
    ~SetupScope();
    SetupScope(const SetupScope&) = delete;
    SetupScope& operator=(const SetupScope&) = delete;

private:
    SetupState saved_;
};

// Makes a file read-only in a way the platform enforces: the read-only
// attribute, and, where that alone does not stop writes (Wine run by root
// opens read-only files for writing like any other), the Linux file
// system's immutable flag too. Everything is undone at the end of scope.
class ReadOnlyFile {
public:
    explicit ReadOnlyFile(const std::string& path);
    ~ReadOnlyFile();
    ReadOnlyFile(const ReadOnlyFile&) = delete;
    ReadOnlyFile& operator=(const ReadOnlyFile&) = delete;
    // True when a write open of the file is refused now.
    bool enforced() const { return enforced_; }

private:
    std::string path_;
    std::string unixPath_;
    bool immutable_ = false;
    bool enforced_ = false;
};

// Starts the hold_file helper on path for holdMs and waits until it holds
// the file (with waitForFile it first waits for the file to appear and be
// free). Returns the process handle, or null on failure.
HANDLE start_holder(const std::string& path, DWORD holdMs, bool waitForFile, bool shareDelete);
// The ready event of the last holder started with waitForFile, for tests
// that need to know when it got the file.
bool holder_has_file(DWORD timeoutMs);
// Waits for the holder to end; returns its exit code (or -1).
int finish_holder(HANDLE process);
