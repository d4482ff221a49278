#include "tests/win/payload/fixtures.h"

#include <string.h>

#include "common/path.h"
#include "tests/support/benchutil.h"

std::string fresh_folder(const std::string& name)
{
    CreateDirectoryA("C:\\extract-tests", nullptr);
    std::string folder = "C:\\extract-tests\\" + name;
    remove_tree(folder);
    CreateDirectoryA(folder.c_str(), nullptr);
    return folder;
}

void FreshFoldersTest::SetUp()
{
    const char* name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
    folder_ = fresh_folder(name);
    temp_ = fresh_folder(std::string(name) + "-temp") + "\\";
    robot_.start();
}

void FreshFoldersTest::TearDown()
{
    robot_.stop();
}

std::string resource_bytes(UINT id, const char* type)
{
    HRSRC info = FindResourceA(nullptr, MAKEINTRESOURCEA(id), type);
    if (info == nullptr)
        return std::string();
    HGLOBAL loaded = LoadResource(nullptr, info);
    const char* bytes = static_cast<const char*>(LockResource(loaded));
    return bytes ? std::string(bytes, SizeofResource(nullptr, info)) : std::string();
}

std::string expected_file(UINT id)
{
    return resource_bytes(id, "EXPECTED");
}

DWORD now_ms()
{
    return GetTickCount();
}

SetupScope::SetupScope(const std::string& installFolder, const std::string& tempFolder,
                       const std::string& windowsDirectory)
{
    saved_ = g_setup;
    lstrcpynA(g_setup.installFolder, installFolder.c_str(), kPathSize);
    lstrcpynA(g_setup.tempFolder, tempFolder.c_str(), kPathSize);
    lstrcpynA(g_setup.windowsDirectory, windowsDirectory.c_str(), kPathSize);
    path_join(g_setup.installFolder, "Veltranox.exe", g_setup.mainProgramPath);
}

SetupScope::~SetupScope()
{
    g_setup = saved_;
}

namespace {

bool write_refused(const std::string& path)
{
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return true;
    CloseHandle(file);
    return false;
}

// Wine's own export that names the Linux file behind a Windows path.
std::string unix_path_of(const std::string& path)
{
    typedef char*(CDECL * UnixName)(const WCHAR*);
    UnixName unixName = reinterpret_cast<UnixName>(
        GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name"));
    if (unixName == nullptr)
        return std::string();
    WCHAR wide[MAX_PATH];
    if (!MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, wide, MAX_PATH))
        return std::string();
    char* name = unixName(wide);
    if (name == nullptr)
        return std::string();
    std::string result = name;
    HeapFree(GetProcessHeap(), 0, name);
    return result;
}

// Wine starts Linux programs like Windows ones, but does not wait for them:
// the process handle ends at once and carries no exit code. So the effect
// is awaited instead.
bool run_chattr(const char* flag, const std::string& unixPath, const std::string& path,
                bool refusedAfter)
{
    if (unixPath.empty() || unixPath.find(' ') != std::string::npos)
        return false;
    if (run_and_wait(std::string("/usr/bin/chattr ") + flag + " " + unixPath, 10000) == -1)
        return false;
    DWORD start = GetTickCount();
    while (write_refused(path) != refusedAfter) {
        if (GetTickCount() - start > 10000)
            return false;
        Sleep(10);
    }
    return true;
}

} // namespace

ReadOnlyFile::ReadOnlyFile(const std::string& path) : path_(path)
{
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_READONLY);
    if (!write_refused(path)) {
        unixPath_ = unix_path_of(path);
        immutable_ = !unixPath_.empty();
        run_chattr("+i", unixPath_, path, true);
    }
    enforced_ = write_refused(path);
}

ReadOnlyFile::~ReadOnlyFile()
{
    if (immutable_)
        run_chattr("-i", unixPath_, path_, false);
    SetFileAttributesA(path_.c_str(), FILE_ATTRIBUTE_NORMAL);
}

namespace {
const char kHolderReady[] = "extract-tests-holder-ready";
HANDLE g_holderReady = nullptr;
} // namespace

HANDLE start_holder(const std::string& path, DWORD holdMs, bool waitForFile, bool shareDelete)
{
    if (g_holderReady == nullptr)
        g_holderReady = CreateEventA(nullptr, TRUE, FALSE, kHolderReady);
    ResetEvent(g_holderReady);
    std::string commandLine = "\"" + sibling_path("hold_file.exe") + "\" \"" + path + "\" " +
                              std::to_string(holdMs) + " " + kHolderReady;
    if (waitForFile)
        commandLine += " --wait";
    if (shareDelete)
        commandLine += " --share-delete";
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessA(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process))
        return nullptr;
    CloseHandle(process.hThread);
    if (!waitForFile) {
        HANDLE both[2] = {g_holderReady, process.hProcess};
        // The helper exits at once when it cannot open the file.
        if (WaitForMultipleObjects(2, both, FALSE, 10000) != WAIT_OBJECT_0) {
            TerminateProcess(process.hProcess, 1);
            CloseHandle(process.hProcess);
            return nullptr;
        }
    }
    return process.hProcess;
}

bool holder_has_file(DWORD timeoutMs)
{
    return g_holderReady != nullptr && WaitForSingleObject(g_holderReady, timeoutMs) == WAIT_OBJECT_0;
}

int finish_holder(HANDLE process)
{
    if (process == nullptr)
        return -1;
    DWORD code = (DWORD)-1;
    if (WaitForSingleObject(process, 70000) == WAIT_OBJECT_0)
        GetExitCodeProcess(process, &code);
    else
        TerminateProcess(process, 1);
    CloseHandle(process);
    return (int)code;
}
