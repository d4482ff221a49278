// Small helpers for the Windows-side tests.
#pragma once
#include <windows.h>

#include <set>
#include <string>

// Sets NAME=VALUE for every WINETEST_ENV_NAME=VALUE in the environment and
// removes the WINETEST_ENV_ variable. wine-run.sh passes --env this way,
// because Wine takes TEMP, TMP and PATH from the prefix's registry and not
// from the Unix environment. Called by the test main and robot-driver.exe.
void apply_test_environment();

// The full path of a file in the folder of the running executable (helper
// programs that a test starts sit next to it).
std::string sibling_path(const char* name);

// Gives the key (created when missing) a DACL that grants only KEY_READ,
// D:P(A;;KR;;;WD)(A;;KR;;;BA)(A;;KR;;;SY), so that opening it with
// 0x2001F fails with ERROR_ACCESS_DENIED. The previous DACL is kept for
// restore_key_access. Returns 0 or the Windows error.
LONG make_key_read_only(HKEY root, const char* path);

// Puts back the DACL that make_key_read_only replaced. Returns 0 or the
// Windows error (ERROR_NOT_FOUND when the key was not made read only).
LONG restore_key_access(HKEY root, const char* path);

// make_key_read_only for one scope.
class ReadOnlyKey {
public:
    ReadOnlyKey(HKEY root, const char* path) : root_(root), path_(path)
    {
        status_ = make_key_read_only(root, path);
    }
    ~ReadOnlyKey()
    {
        if (status_ == 0)
            restore_key_access(root_, path_.c_str());
    }
    LONG status() const { return status_; }
    ReadOnlyKey(const ReadOnlyKey&) = delete;
    ReadOnlyKey& operator=(const ReadOnlyKey&) = delete;

private:
    HKEY root_;
    std::string path_;
    LONG status_;
};

// Starts a command line, waits up to timeoutMs and returns its exit code;
// -1 when it cannot be started, -2 when it is still running at the timeout
// (it is then terminated). With inheritHandles the program inherits this
// process's inheritable handles.
int run_and_wait(const std::string& commandLine, DWORD timeoutMs, bool inheritHandles = false);

// The names in a folder (not . and ..), exact case, in byte order; empty
// when the folder is missing.
std::set<std::string> names_in(const std::string& folder);

// Removes a folder and everything in it, read-only files and folders
// included. Whatever cannot be removed is left silently.
void remove_tree(const std::string& folder);

// The system's own text for an error number (language 0x400, line break
// included), as a notice shows it; empty for an unknown number.
std::string system_text(DWORD error);
