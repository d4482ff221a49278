// Shared pieces of the extraction and replacement tests: files and folders,
// the payload we carry and what it must expand to, and a setup state that
// points at a test's own folders.
#pragma once
#include <windows.h>

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "setup/state.h"
#include "tests/support/benchutil.h"
#include "tests/support/robot.h"

// The whole file, or "" when it cannot be read (ok says which).
std::string read_file(const std::string& path, bool* ok = nullptr);
bool write_file(const std::string& path, const std::string& bytes);
bool file_exists(const std::string& path);
// INVALID_FILE_ATTRIBUTES when the file is not there.
DWORD attributes_of(const std::string& path);

// C:\extract-tests\<name>, created empty (whatever an earlier run left
// there is removed first). Ends without a backslash.
std::string fresh_folder(const std::string& name);

// The bytes of resource id of the given type in this executable.
std::string resource_bytes(UINT id, const char* type);
// What catalogue entry id must become on disk: the original file, carried
// by the test executable as resource type "EXPECTED".
std::string expected_file(UINT id);

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

// Starts the hold_file helper on path and waits until it holds the file
// (sharing delete only with shareDelete). It keeps the file until
// finish_holder, or for two minutes at most. Returns the process handle, or
// null when the helper could not take the file.
HANDLE start_holder(const std::string& path, bool shareDelete = false);
// Lets the holder go, waits for it to end and returns its exit code (or -1).
int finish_holder(HANDLE process);

// Points this executable's import of a kernel32 function at a replacement
// for its lifetime: the code under test, linked into the test, then calls
// the replacement, which does its part and calls the real function.
class ImportHook {
public:
    ImportHook(const char* function, FARPROC replacement);
    ~ImportHook();
    ImportHook(const ImportHook&) = delete;
    ImportHook& operator=(const ImportHook&) = delete;

    bool hooked() const { return hooked_; }
    FARPROC real() const { return real_; }

private:
    FARPROC real_;
    FARPROC* slot_;
    bool hooked_;
};

// The Sleep calls that the code under test makes on the thread that made
// the watch, for its lifetime (one watch at a time), each then slept for
// real. A test reads the waits from it instead of from a clock, which a
// loaded machine stretches, and can have something done at the moment the
// code starts a wait (a holder let go, say), before the real sleep. Other
// threads sleep unrecorded.
class SleepWatch {
public:
    SleepWatch();
    ~SleepWatch();
    SleepWatch(const SleepWatch&) = delete;
    SleepWatch& operator=(const SleepWatch&) = delete;

    bool hooked() const { return hook_.hooked(); }
    // The milliseconds of every recorded Sleep, added up.
    DWORD total() const;
    size_t count() const { return sleeps_.size(); }
    // Runs action once, when the first Sleep of ms milliseconds begins.
    void on_sleep(DWORD ms, std::function<void()> action);

private:
    static VOID WINAPI recorder(DWORD ms);

    DWORD thread_;
    ImportHook hook_;
    std::vector<DWORD> sleeps_;
    DWORD actionMs_ = 0;
    std::function<void()> action_;
};
