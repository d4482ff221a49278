#include "tests/win/extract/fixtures.h"

#include <string.h>

#include "setup/path.h"
#include "tests/support/benchutil.h"

std::string read_file(const std::string& path, bool* ok)
{
    if (ok)
        *ok = false;
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return std::string();
    std::string bytes;
    DWORD size = GetFileSize(file, nullptr);
    bytes.resize(size);
    DWORD got = 0;
    bool read = size == 0 || (ReadFile(file, &bytes[0], size, &got, nullptr) && got == size);
    CloseHandle(file);
    if (ok)
        *ok = read;
    return read ? bytes : std::string();
}

bool write_file(const std::string& path, const std::string& bytes)
{
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    bool ok = WriteFile(file, bytes.data(), (DWORD)bytes.size(), &written, nullptr) &&
              written == bytes.size();
    CloseHandle(file);
    return ok;
}

bool file_exists(const std::string& path)
{
    return attributes_of(path) != INVALID_FILE_ATTRIBUTES;
}

DWORD attributes_of(const std::string& path)
{
    return GetFileAttributesA(path.c_str());
}

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
HANDLE g_holderRelease = nullptr;
// Far longer than any test holds a file: only a test that never lets go
// reaches it.
const DWORD kLongestHoldMs = 120000;
} // namespace

HANDLE start_holder(const std::string& path, bool shareDelete)
{
    if (g_holderReady == nullptr) {
        g_holderReady = CreateEventA(nullptr, TRUE, FALSE, kHolderReady);
        g_holderRelease =
            CreateEventA(nullptr, TRUE, FALSE, (std::string(kHolderReady) + "-release").c_str());
    }
    ResetEvent(g_holderReady);
    ResetEvent(g_holderRelease);
    std::string commandLine = "\"" + sibling_path("hold_file.exe") + "\" \"" + path + "\" " +
                              std::to_string(kLongestHoldMs) + " " + kHolderReady;
    if (shareDelete)
        commandLine += " --share-delete";
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessA(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process))
        return nullptr;
    CloseHandle(process.hThread);
    HANDLE both[2] = {g_holderReady, process.hProcess};
    // The helper exits at once when it cannot open the file; a start that
    // takes a minute is a hang.
    if (WaitForMultipleObjects(2, both, FALSE, 60000) != WAIT_OBJECT_0) {
        TerminateProcess(process.hProcess, 1);
        CloseHandle(process.hProcess);
        return nullptr;
    }
    return process.hProcess;
}

int finish_holder(HANDLE process)
{
    if (process == nullptr)
        return -1;
    SetEvent(g_holderRelease);
    DWORD code = (DWORD)-1;
    if (WaitForSingleObject(process, 60000) == WAIT_OBJECT_0)
        GetExitCodeProcess(process, &code);
    else
        TerminateProcess(process, 1);
    CloseHandle(process);
    return (int)code;
}

namespace {

// This executable's import slot of kernel32's function, or null.
FARPROC* import_slot(FARPROC function)
{
    BYTE* base = reinterpret_cast<BYTE*>(GetModuleHandleA(nullptr));
    IMAGE_NT_HEADERS* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(
        base + reinterpret_cast<IMAGE_DOS_HEADER*>(base)->e_lfanew);
    IMAGE_DATA_DIRECTORY& directory = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    for (IMAGE_IMPORT_DESCRIPTOR* import =
             reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + directory.VirtualAddress);
         import->Name != 0; ++import)
        for (IMAGE_THUNK_DATA* thunk = reinterpret_cast<IMAGE_THUNK_DATA*>(base + import->FirstThunk);
             thunk->u1.Function != 0; ++thunk)
            if (reinterpret_cast<FARPROC>(thunk->u1.Function) == function)
                return reinterpret_cast<FARPROC*>(&thunk->u1.Function);
    return nullptr;
}

bool point_import(FARPROC* slot, FARPROC to)
{
    DWORD old;
    if (slot == nullptr || !VirtualProtect(slot, sizeof *slot, PAGE_READWRITE, &old))
        return false;
    *slot = to;
    VirtualProtect(slot, sizeof *slot, old, &old);
    return true;
}

SleepWatch* g_sleepWatch = nullptr;

} // namespace

ImportHook::ImportHook(const char* function, FARPROC replacement)
    : real_(GetProcAddress(GetModuleHandleA("kernel32.dll"), function))
{
    slot_ = real_ != nullptr ? import_slot(real_) : nullptr;
    hooked_ = replacement != nullptr && point_import(slot_, replacement);
}

ImportHook::~ImportHook()
{
    if (hooked_)
        point_import(slot_, real_);
}

SleepWatch::SleepWatch()
    : thread_(GetCurrentThreadId()),
      hook_("Sleep", g_sleepWatch == nullptr ? reinterpret_cast<FARPROC>(&SleepWatch::recorder)
                                             : nullptr)
{
    if (hook_.hooked())
        g_sleepWatch = this;
}

SleepWatch::~SleepWatch()
{
    if (hook_.hooked())
        g_sleepWatch = nullptr;
}

DWORD SleepWatch::total() const
{
    DWORD sum = 0;
    for (DWORD ms : sleeps_)
        sum += ms;
    return sum;
}

void SleepWatch::on_sleep(DWORD ms, std::function<void()> action)
{
    actionMs_ = ms;
    action_ = action;
}

VOID WINAPI SleepWatch::recorder(DWORD ms)
{
    SleepWatch* watch = g_sleepWatch;
    static VOID(WINAPI * realSleep)(DWORD) = reinterpret_cast<VOID(WINAPI*)(DWORD)>(
        GetProcAddress(GetModuleHandleA("kernel32.dll"), "Sleep"));
    if (watch != nullptr && GetCurrentThreadId() == watch->thread_) {
        watch->sleeps_.push_back(ms);
        if (watch->action_ && ms == watch->actionMs_) {
            std::function<void()> action;
            action.swap(watch->action_);
            action();
        }
    }
    realSleep(ms);
}
