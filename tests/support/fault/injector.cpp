// faultinject.dll: loaded into an unmodified program before its first
// instruction (load_into.h), it patches the program's import address table
// and the entries the program looks up with GetProcAddress, so that every
// call the program itself makes to a listed system function goes through
// a wrapper first. The wrapper names the call by its site, the function and
// the chain of the program's own return addresses (three deep), and counts
// it; one chosen call can be failed (the function's documented failure
// with a realistic error) or end the process right there (a power cut).
// A call can also fail the way a virus scanner's brief hold fails it (a
// sharing violation, once, every later call let through), with a note of
// whether the program then tried the same call again; or another program
// of the user can write into the file the call names, right before or
// right after it.
//
// Environment (inherited by the processes the program starts, which the
// injector follows through CreateProcessA):
//   FAULT_LOG     file that every process appends its lines to
//   FAULT_MODE    record | fail | kill | once | tamper-before | tamper-after
//   FAULT_TARGET  "<generation> <function> <chain> <nth> <first|last>":
//                 the call to fail or kill
//   FAULT_MAP     the program's code map (site_map.py), which tells the
//                 return addresses on the stack from stale ones
//   FAULT_GEN     the process's generation (0: the program started by the
//                 driver, 1: a process it started, ...); set by the injector
//   FAULT_TAMPER  tamper modes: the file whose bytes are written over the
//                 file that the call's first argument names
// Log lines, tab-separated:
//   site <gen> <function> <chain> <calls> <fail|kill>   at a process's end
//                          (kill: the function is only ever ended at)
//   acted <gen> <function> <chain> <nth> <fail|kill|once|tamper>
//   again <gen>            once: the site was called again with the same
//                          first argument (the program retried it)
//   tampered <gen> <written|refused> <error>
//   child <gen> <pid>      exit <gen> <code>      crash <gen> <code> <address>
// A chain is the return addresses' offsets in the image, in hex, innermost
// first, separated by commas.
#undef _WIN32_WINNT
#define _WIN32_WINNT 0x0602
#include <windows.h>
#include <lzexpand.h>
#include <objbase.h>
#include <shellapi.h>
#include <shlobj.h>
#include <winver.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <type_traits>

#include "tests/support/fault/load_into.h"

namespace {

const UINT kKilledExitCode = 0xFA17;
const int kDepth = 3;

// The functions wrapped. FAIL: name, failure result, error at a site's
// first call, error at its last. KILL: calls that only release, paint or
// answer what cannot fail in a way a program could act on; they are ended
// at, never failed.
#define WRAPPED(FAIL, KILL)                                                                   \
    FAIL(CreateFileA, INVALID_HANDLE_VALUE, ERROR_ACCESS_DENIED, ERROR_SHARING_VIOLATION)     \
    FAIL(WriteFile, FALSE, ERROR_DISK_FULL, ERROR_WRITE_FAULT)                                \
    FAIL(ReadFile, FALSE, ERROR_READ_FAULT, ERROR_CRC)                                        \
    FAIL(SetFilePointer, INVALID_SET_FILE_POINTER, ERROR_ACCESS_DENIED, ERROR_READ_FAULT)     \
    FAIL(GetFileSize, INVALID_FILE_SIZE, ERROR_ACCESS_DENIED, ERROR_READ_FAULT)               \
    FAIL(DeleteFileA, FALSE, ERROR_ACCESS_DENIED, ERROR_SHARING_VIOLATION)                    \
    FAIL(SetEndOfFile, FALSE, ERROR_DISK_FULL, ERROR_ACCESS_DENIED)                           \
    FAIL(GetFileInformationByHandle, FALSE, ERROR_ACCESS_DENIED, ERROR_INVALID_HANDLE)        \
    FAIL(GetFinalPathNameByHandleA, 0, ERROR_NOT_ENOUGH_MEMORY, ERROR_ACCESS_DENIED)          \
    FAIL(SetFileInformationByHandle, FALSE, ERROR_ACCESS_DENIED, ERROR_SHARING_VIOLATION)     \
    FAIL(MoveFileA, FALSE, ERROR_ACCESS_DENIED, ERROR_SHARING_VIOLATION)                      \
    FAIL(MoveFileExA, FALSE, ERROR_ACCESS_DENIED, ERROR_SHARING_VIOLATION)                    \
    FAIL(CopyFileA, FALSE, ERROR_DISK_FULL, ERROR_ACCESS_DENIED)                              \
    FAIL(CreateDirectoryA, FALSE, ERROR_ACCESS_DENIED, ERROR_DISK_FULL)                       \
    FAIL(RemoveDirectoryA, FALSE, ERROR_ACCESS_DENIED, ERROR_SHARING_VIOLATION)               \
    FAIL(SetFileAttributesA, FALSE, ERROR_ACCESS_DENIED, ERROR_SHARING_VIOLATION)             \
    FAIL(GetFileAttributesA, INVALID_FILE_ATTRIBUTES, ERROR_ACCESS_DENIED, ERROR_SHARING_VIOLATION) \
    FAIL(GetFileAttributesExA, FALSE, ERROR_ACCESS_DENIED, ERROR_SHARING_VIOLATION)           \
    FAIL(FindFirstFileA, INVALID_HANDLE_VALUE, ERROR_ACCESS_DENIED, ERROR_NOT_ENOUGH_MEMORY)  \
    FAIL(FindNextFileA, FALSE, ERROR_ACCESS_DENIED, ERROR_NOT_ENOUGH_MEMORY)                  \
    FAIL(GetDiskFreeSpaceExA, FALSE, ERROR_ACCESS_DENIED, ERROR_NOT_READY)                    \
    FAIL(GetDriveTypeA, DRIVE_UNKNOWN, ERROR_NOT_READY, ERROR_NOT_READY)                      \
    FAIL(GetLogicalDrives, 0, ERROR_ACCESS_DENIED, ERROR_ACCESS_DENIED)                       \
    FAIL(SetCurrentDirectoryA, FALSE, ERROR_ACCESS_DENIED, ERROR_SHARING_VIOLATION)           \
    FAIL(GetFullPathNameA, 0, ERROR_NOT_ENOUGH_MEMORY, ERROR_FILENAME_EXCED_RANGE)            \
    FAIL(GetLongPathNameA, 0, ERROR_ACCESS_DENIED, ERROR_NOT_ENOUGH_MEMORY)                   \
    FAIL(GetTempFileNameA, 0, ERROR_ACCESS_DENIED, ERROR_DISK_FULL)                           \
    FAIL(GetTempPathA, 0, ERROR_NOT_ENOUGH_MEMORY, ERROR_ENVVAR_NOT_FOUND)                    \
    FAIL(GetWindowsDirectoryA, 0, ERROR_NOT_ENOUGH_MEMORY, ERROR_NOT_ENOUGH_MEMORY)           \
    FAIL(GetSystemDirectoryA, 0, ERROR_NOT_ENOUGH_MEMORY, ERROR_NOT_ENOUGH_MEMORY)            \
    FAIL(GetModuleFileNameA, 0, ERROR_NOT_ENOUGH_MEMORY, ERROR_INSUFFICIENT_BUFFER)           \
    FAIL(GetModuleHandleA, NULL, ERROR_MOD_NOT_FOUND, ERROR_NOT_ENOUGH_MEMORY)                \
    FAIL(LoadLibraryA, NULL, ERROR_MOD_NOT_FOUND, ERROR_NOT_ENOUGH_MEMORY)                    \
    FAIL(LoadLibraryExA, NULL, ERROR_MOD_NOT_FOUND, ERROR_NOT_ENOUGH_MEMORY)                  \
    FAIL(FindResourceA, NULL, ERROR_RESOURCE_NAME_NOT_FOUND, ERROR_NOT_ENOUGH_MEMORY)         \
    FAIL(SizeofResource, 0, ERROR_NOT_ENOUGH_MEMORY, ERROR_NOT_ENOUGH_MEMORY)                 \
    FAIL(LoadResource, NULL, ERROR_NOT_ENOUGH_MEMORY, ERROR_NOT_ENOUGH_MEMORY)                \
    FAIL(LockResource, NULL, ERROR_NOT_ENOUGH_MEMORY, ERROR_NOT_ENOUGH_MEMORY)                \
    FAIL(HeapAlloc, NULL, ERROR_NOT_ENOUGH_MEMORY, ERROR_NOT_ENOUGH_MEMORY)                   \
    FAIL(FormatMessageA, 0, ERROR_NOT_ENOUGH_MEMORY, ERROR_NOT_ENOUGH_MEMORY)                 \
    FAIL(MultiByteToWideChar, 0, ERROR_INSUFFICIENT_BUFFER, ERROR_NO_UNICODE_TRANSLATION)     \
    FAIL(LZInit, LZERROR_GLOBALLOC, ERROR_NOT_ENOUGH_MEMORY, ERROR_NOT_ENOUGH_MEMORY)         \
    FAIL(LZCopy, LZERROR_WRITE, ERROR_SUCCESS, ERROR_DISK_FULL)                               \
    FAIL(WaitForSingleObject, WAIT_FAILED, ERROR_INVALID_HANDLE, ERROR_NOT_ENOUGH_MEMORY)     \
    FAIL(DuplicateHandle, FALSE, ERROR_ACCESS_DENIED, ERROR_NOT_ENOUGH_MEMORY)                \
    FAIL(GetProcessId, 0, ERROR_ACCESS_DENIED, ERROR_INVALID_HANDLE)                          \
    FAIL(QueryFullProcessImageNameA, FALSE, ERROR_ACCESS_DENIED, ERROR_INSUFFICIENT_BUFFER)   \
    FAIL(SetDefaultDllDirectories, FALSE, ERROR_INVALID_PARAMETER, ERROR_ACCESS_DENIED)       \
    FAIL(SetDllDirectoryA, FALSE, ERROR_INVALID_PARAMETER, ERROR_ACCESS_DENIED)               \
    FAIL(RegCreateKeyExA, ERROR_ACCESS_DENIED, 0, 0)                                          \
    FAIL(RegOpenKeyA, ERROR_ACCESS_DENIED, 0, 0)                                              \
    FAIL(RegOpenKeyExA, ERROR_ACCESS_DENIED, 0, 0)                                            \
    FAIL(RegQueryValueExA, ERROR_REGISTRY_IO_FAILED, 0, 0)                                    \
    FAIL(RegSetValueExA, ERROR_REGISTRY_IO_FAILED, 0, 0)                                      \
    FAIL(RegDeleteKeyA, ERROR_ACCESS_DENIED, 0, 0)                                            \
    FAIL(RegDeleteValueA, ERROR_ACCESS_DENIED, 0, 0)                                          \
    FAIL(RegisterClassExA, 0, ERROR_NOT_ENOUGH_MEMORY, ERROR_NOT_ENOUGH_MEMORY)               \
    FAIL(CreateWindowExA, NULL, ERROR_NOT_ENOUGH_MEMORY, ERROR_NOT_ENOUGH_MEMORY)             \
    FAIL(CreateDialogParamA, NULL, ERROR_NOT_ENOUGH_MEMORY, ERROR_NOT_ENOUGH_MEMORY)          \
    FAIL(DialogBoxParamA, -1, ERROR_NOT_ENOUGH_MEMORY, ERROR_NOT_ENOUGH_MEMORY)               \
    FAIL(MessageBoxA, 0, ERROR_NOT_ENOUGH_MEMORY, ERROR_NOT_ENOUGH_MEMORY)                    \
    FAIL(GetDlgItem, NULL, ERROR_CONTROL_ID_NOT_FOUND, ERROR_CONTROL_ID_NOT_FOUND)            \
    FAIL(SetDlgItemTextA, FALSE, ERROR_NOT_ENOUGH_MEMORY, ERROR_NOT_ENOUGH_MEMORY)            \
    FAIL(LoadIconA, NULL, ERROR_RESOURCE_NAME_NOT_FOUND, ERROR_NOT_ENOUGH_MEMORY)             \
    FAIL(LoadCursorA, NULL, ERROR_RESOURCE_NAME_NOT_FOUND, ERROR_NOT_ENOUGH_MEMORY)           \
    FAIL(CreateFontIndirectA, NULL, ERROR_NOT_ENOUGH_MEMORY, ERROR_NOT_ENOUGH_MEMORY)         \
    FAIL(CreateSolidBrush, NULL, ERROR_NOT_ENOUGH_MEMORY, ERROR_NOT_ENOUGH_MEMORY)            \
    FAIL(SHGetSpecialFolderLocation, E_FAIL, 0, 0)                                            \
    FAIL(SHGetPathFromIDListA, FALSE, 0, 0)                                                   \
    FAIL(SHGetSpecialFolderPathA, FALSE, ERROR_ACCESS_DENIED, ERROR_NOT_ENOUGH_MEMORY)        \
    FAIL(SHGetMalloc, E_OUTOFMEMORY, 0, 0)                                                    \
    FAIL(SHBrowseForFolderA, NULL, 0, 0)                                                      \
    FAIL(ShellExecuteA, (HINSTANCE)SE_ERR_ACCESSDENIED, ERROR_ACCESS_DENIED, ERROR_NOT_ENOUGH_MEMORY) \
    FAIL(CoInitialize, E_OUTOFMEMORY, 0, 0)                                                   \
    FAIL(CoCreateInstance, E_OUTOFMEMORY, 0, 0)                                               \
    FAIL(GetFileVersionInfoSizeA, 0, ERROR_RESOURCE_DATA_NOT_FOUND, ERROR_NOT_ENOUGH_MEMORY)  \
    FAIL(GetFileVersionInfoA, FALSE, ERROR_NOT_ENOUGH_MEMORY, ERROR_NOT_ENOUGH_MEMORY)        \
    FAIL(VerQueryValueA, FALSE, ERROR_RESOURCE_TYPE_NOT_FOUND, ERROR_RESOURCE_TYPE_NOT_FOUND) \
    KILL(CloseHandle) KILL(FindClose) KILL(FreeLibrary) KILL(FreeResource) KILL(LocalFree)    \
    KILL(HeapFree) KILL(LZClose) KILL(RegCloseKey) KILL(Sleep) KILL(DestroyWindow)            \
    KILL(EndDialog) KILL(ShowWindow) KILL(UpdateWindow) KILL(RedrawWindow) KILL(EnableWindow) \
    KILL(CoUninitialize) KILL(SHChangeNotify) KILL(InitCommonControls) KILL(TextOutA)         \
    KILL(SelectObject) KILL(DeleteObject) KILL(Rectangle) KILL(SetTextColor) KILL(SetBkMode)  \
    KILL(SetTextAlign) KILL(GetTextExtentPointA)

// comctl32's entry, looked up by name only.
extern "C" void WINAPI InitCommonControls(void);

#define AS_ID(name, ...) k_##name,
// Past the table: the wrappers the injector needs for itself, which are
// sites like the others (failed, never replaced by a failure value).
enum HookId { WRAPPED(AS_ID, AS_ID) kHookCount, k_GetProcAddress = kHookCount, k_CreateProcessA };

struct Hook {
    const char* name;
    void* wrapper;
    void* real;
    bool failable;
    INT_PTR failure;
    DWORD errorFirst, errorLast;
};
extern Hook g_hooks[kHookCount];

enum Verdict { kPass, kFail, kTamper };

struct Config {
    char log[MAX_PATH];
    char tamper[MAX_PATH];
    int generation;
    enum { kRecord, kFailMode, kKillMode, kOnceMode, kTamperBefore, kTamperAfter } mode;
    int targetGeneration;
    char targetFunction[64];
    DWORD targetChain[kDepth];
    int targetDepth;
    unsigned targetNth;
    bool targetLast;
} g_config;

HMODULE g_self;
DWORD g_imageBase, g_textStart, g_textEnd;
DWORD g_user32Start, g_user32End;
LPTOP_LEVEL_EXCEPTION_FILTER g_programFilter;
CRITICAL_SECTION g_lock;

struct Site {
    int hook; // -1: free
    int depth;
    DWORD chain[kDepth];
    unsigned calls;
};
const int kSiteSlots = 8192;
Site g_sites[kSiteSlots];

void append_line(const char* line)
{
    if (g_config.log[0] == '\0')
        return;
    HANDLE file = CreateFileA(g_config.log, FILE_APPEND_DATA,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, NULL,
                              OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE)
        return;
    DWORD written;
    WriteFile(file, line, (DWORD)strlen(line), &written, NULL);
    CloseHandle(file);
}

void format_chain(const DWORD* chain, int depth, char* out)
{
    out[0] = '\0';
    for (int i = 0; i < depth; ++i)
        out += sprintf(out, i == 0 ? "%lx" : ",%lx", (unsigned long)chain[i]);
}

bool in_text(DWORD address)
{
    return address >= g_textStart && address < g_textEnd;
}

// Whether a FF /2 instruction (an indirect call) of exactly `length`
// bytes ends at `end`.
bool indirect_call_before(const BYTE* end, int length)
{
    const BYTE* at = end - length;
    if (at[0] != 0xFF || ((at[1] >> 3) & 7) != 2)
        return false;
    BYTE mod = at[1] >> 6, rm = at[1] & 7;
    int size = 2;
    if (mod != 3 && rm == 4) {
        ++size; // SIB
        if (mod == 0 && (at[2] & 7) == 5)
            size += 4;
    }
    if (mod == 0 && rm == 5)
        size += 4;
    else if (mod == 1)
        size += 1;
    else if (mod == 2)
        size += 4;
    return size == length;
}

// The program's functions, from the code map (site_map.py) that FAULT_MAP
// names: their offsets in the image, sorted. Without a map every call
// before a return address is believed.
DWORD g_functions[8192];
int g_functionCount;
// Import slots of the functions that call back into the program (window
// and dialog procedures): the only imports a return address of the
// program can be waiting on with the program's code below it.
void** g_callbackSlots[32];
int g_callbackSlotCount;
const char* const kCallingBack[] = {"DialogBoxParamA", "CreateDialogParamA", "CreateWindowExA",
                                    "MessageBoxA", "SHBrowseForFolderA", "DestroyWindow",
                                    "ShowWindow", "UpdateWindow", "RedrawWindow", "EndDialog",
                                    "DefWindowProcA", "SetDlgItemTextA", "EnableWindow"};

void read_code_map()
{
    char path[MAX_PATH];
    DWORD length = GetEnvironmentVariableA("FAULT_MAP", path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return;
    HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, 0, NULL);
    if (file == INVALID_HANDLE_VALUE)
        return;
    static char text[1 << 20];
    DWORD got = 0;
    ReadFile(file, text, sizeof text - 1, &got, NULL);
    CloseHandle(file);
    text[got] = '\0';
    for (char* line = text; *line != '\0' && g_functionCount < 8192;) {
        DWORD offset = strtoul(line, &line, 16);
        if (g_functionCount == 0 || offset > g_functions[g_functionCount - 1])
            g_functions[g_functionCount++] = offset;
        while (*line != '\0' && *line++ != '\n') {
        }
    }
}

// The function an address lies in (its start), 0 when the map has none.
DWORD function_of(DWORD address)
{
    DWORD offset = address - g_imageBase;
    int low = 0, high = g_functionCount;
    while (low < high) {
        int middle = (low + high) / 2;
        if (g_functions[middle] <= offset)
            low = middle + 1;
        else
            high = middle;
    }
    return low == 0 ? 0 : g_functions[low - 1] + g_imageBase;
}

DWORD function_end(DWORD start)
{
    for (int i = 0; i < g_functionCount; ++i)
        if (g_functions[i] + g_imageBase > start)
            return g_functions[i] + g_imageBase;
    return g_textEnd;
}

bool calls_back(void** slot)
{
    for (int i = 0; i < g_callbackSlotCount; ++i)
        if (g_callbackSlots[i] == slot)
            return true;
    return false;
}

// Whether `function` ends in a jump to `other` (a tail call), so that a
// call to `function` can return through `other`.
bool jumps_to(DWORD function, DWORD other)
{
    DWORD end = function_end(function);
    if (end - function > 4096)
        end = function + 4096;
    for (DWORD at = function; at + 5 <= end; ++at)
        if (*(const BYTE*)at == 0xE9 && at + 5 + *(const INT32*)(at + 1) == other)
            return true;
    return false;
}

// A return address of the program: inside its code, right after a call
// that can have led to `inner`, the address found below it. Checked
// against the code map, since the stack also holds stale return addresses
// of calls that have ended.
bool is_return_address(DWORD value, DWORD inner, bool throughUser32)
{
    if (!in_text(value) || value < g_textStart + 7)
        return false;
    const BYTE* end = (const BYTE*)value;
    if (end[-6] == 0xFF && end[-5] == 0x15) // call [import slot]
        return g_functionCount == 0 || (throughUser32 && calls_back(*(void***)(end - 4)));
    if (end[-5] == 0xE8) {
        DWORD target = value + *(const INT32*)(end - 4);
        if (!in_text(target))
            return false;
        if (g_functionCount == 0)
            return true;
        const BYTE* code = (const BYTE*)target;
        if (code[0] == 0xFF && code[1] == 0x25) // an import's jump thunk
            return throughUser32 && calls_back(*(void***)(code + 2));
        DWORD callee = function_of(target), innerFunction = function_of(inner);
        return callee == innerFunction || jumps_to(callee, innerFunction);
    }
    // Calls through pointers go to system functions, which never call
    // the program back.
    if (g_functionCount != 0)
        return false;
    for (int length = 2; length <= 7; ++length)
        if (indirect_call_before(end, length))
            return true;
    return false;
}

// The call's site: its own return address, then the next return addresses
// of the program found on the stack above the wrapper's frame (the code is
// built without frame pointers, so the stack is searched, not walked).
int capture_chain(void* returnAddress, void* frame, DWORD* chain)
{
    chain[0] = (DWORD)returnAddress;
    int depth = 1;
    const DWORD* top = (const DWORD*)((NT_TIB*)NtCurrentTeb())->StackBase;
    const DWORD* at = (const DWORD*)frame + 2;
    // A call into user32 is waiting for a window procedure of the program
    // only when user32's own frames lie in between; without them it is
    // a stale return address of a call that has ended.
    bool throughUser32 = false;
    for (int scanned = 0; at < top && scanned < 0x4000 && depth < kDepth; ++at, ++scanned) {
        if (*at >= g_user32Start && *at < g_user32End)
            throughUser32 = true;
        if (is_return_address(*at, chain[depth - 1], throughUser32)) {
            chain[depth++] = *at;
            throughUser32 = false;
        }
    }
    for (int i = 0; i < depth; ++i)
        chain[i] -= g_imageBase;
    return depth;
}

Site* find_site(int hook, const DWORD* chain, int depth)
{
    DWORD hash = (DWORD)hook * 2654435761u;
    for (int i = 0; i < depth; ++i)
        hash = (hash ^ chain[i]) * 16777619u;
    for (int probe = 0; probe < kSiteSlots; ++probe) {
        Site& site = g_sites[(hash + probe) % kSiteSlots];
        if (site.hook == -1) {
            site.hook = hook;
            site.depth = depth;
            memcpy(site.chain, chain, sizeof(DWORD) * depth);
            return &site;
        }
        if (site.hook == hook && site.depth == depth &&
            memcmp(site.chain, chain, sizeof(DWORD) * depth) == 0)
            return &site;
    }
    return NULL;
}

const char* hook_name(int hook)
{
    if (hook == k_GetProcAddress)
        return "GetProcAddress";
    if (hook == k_CreateProcessA)
        return "CreateProcessA";
    return g_hooks[hook].name;
}

bool failable(int hook)
{
    return hook >= kHookCount || g_hooks[hook].failable;
}

bool is_target(int hook, const DWORD* chain, int depth)
{
    return g_config.mode != Config::kRecord && g_config.targetGeneration == g_config.generation &&
           strcmp(g_config.targetFunction, hook_name(hook)) == 0 &&
           g_config.targetDepth == depth &&
           memcmp(g_config.targetChain, chain, sizeof(DWORD) * depth) == 0;
}

// once: the site failed, what its first argument was then, and how many of
// the program's calls had been made by then. A retry comes within a few
// calls (a pause, the attributes cleared); the same call made again much
// later is the next turn of a loop, for another file.
Site* g_failedSite;
DWORD g_failedKey;
bool g_againLogged;
unsigned g_programCalls, g_failedAt;
const unsigned kRetryWithin = 6;

Verdict decide(int hook, void* returnAddress, void* frame, DWORD key)
{
    // Only the program's own calls; a wrapper handed out by GetProcAddress
    // could be called from elsewhere.
    if (!in_text((DWORD)returnAddress))
        return kPass;
    DWORD chain[kDepth];
    int depth = capture_chain(returnAddress, frame, chain);
    EnterCriticalSection(&g_lock);
    Site* site = find_site(hook, chain, depth);
    unsigned calls = site != NULL ? ++site->calls : 0;
    ++g_programCalls;
    bool again = site != NULL && site == g_failedSite && key == g_failedKey && !g_againLogged &&
                 g_programCalls - g_failedAt <= kRetryWithin;
    if (again)
        g_againLogged = true;
    LeaveCriticalSection(&g_lock);
    if (again) {
        char line[32];
        sprintf(line, "again\t%d\n", g_config.generation);
        append_line(line);
    }
    if (!is_target(hook, chain, depth) || calls != g_config.targetNth)
        return kPass;
    char line[256], text[64];
    format_chain(chain, depth, text);
    bool tamper = g_config.mode == Config::kTamperBefore || g_config.mode == Config::kTamperAfter;
    bool kill = g_config.mode == Config::kKillMode || (!failable(hook) && !tamper);
    const char* how = kill                                 ? "kill"
                      : tamper                             ? "tamper"
                      : g_config.mode == Config::kOnceMode ? "once"
                                                           : "fail";
    sprintf(line, "acted\t%d\t%s\t%s\t%u\t%s\n", g_config.generation, hook_name(hook), text,
            calls, how);
    append_line(line);
    if (kill)
        TerminateProcess(GetCurrentProcess(), kKilledExitCode);
    if (tamper)
        return kTamper;
    if (g_config.mode == Config::kOnceMode) {
        EnterCriticalSection(&g_lock);
        g_failedSite = site;
        g_failedKey = key;
        g_failedAt = g_programCalls;
        LeaveCriticalSection(&g_lock);
    }
    return kFail;
}

// The error a failed call is given.
DWORD failure_error(DWORD first, DWORD last)
{
    if (g_config.mode == Config::kOnceMode)
        return ERROR_SHARING_VIOLATION;
    return g_config.targetLast ? last : first;
}

// Another program of the user writes its own bytes over `path`, opening it
// as any program may: sharing everything, asking for write access.
void tamper_with(const char* path)
{
    char line[64];
    DWORD error = ERROR_SUCCESS;
    HANDLE replacement = CreateFileA(g_config.tamper, GENERIC_READ, FILE_SHARE_READ, NULL,
                                     OPEN_EXISTING, 0, NULL);
    HANDLE target = path == NULL ? INVALID_HANDLE_VALUE
                                 : CreateFileA(path, GENERIC_WRITE,
                                               FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                               NULL, OPEN_EXISTING, 0, NULL);
    if (target == INVALID_HANDLE_VALUE)
        error = path == NULL ? ERROR_INVALID_PARAMETER : GetLastError();
    if (target != INVALID_HANDLE_VALUE && replacement != INVALID_HANDLE_VALUE) {
        static BYTE bytes[1 << 16];
        DWORD got = 0, written = 0;
        while (ReadFile(replacement, bytes, sizeof bytes, &got, NULL) && got != 0)
            WriteFile(target, bytes, got, &written, NULL);
        SetEndOfFile(target);
    }
    if (target != INVALID_HANDLE_VALUE)
        CloseHandle(target);
    if (replacement != INVALID_HANDLE_VALUE)
        CloseHandle(replacement);
    sprintf(line, "tampered\t%d\t%s\t%lu\n", g_config.generation,
            error == ERROR_SUCCESS ? "written" : "refused", error);
    append_line(line);
}

// What tells two calls of a site apart: the text its first argument
// points to, when that is a file name, else the argument itself.
template <typename T>
DWORD argument_key(T argument)
{
    if constexpr (std::is_same<T, LPCSTR>::value || std::is_same<T, LPSTR>::value) {
        DWORD hash = 2166136261u;
        if (argument != NULL)
            for (const char* at = argument; *at != '\0'; ++at)
                hash = (hash ^ (BYTE)*at) * 16777619u;
        return hash;
    } else if constexpr (std::is_pointer<T>::value) {
        return (DWORD)(UINT_PTR)argument;
    } else if constexpr (std::is_integral<T>::value || std::is_enum<T>::value) {
        return (DWORD)argument;
    } else {
        return 0;
    }
}

template <typename T>
const char* argument_path(T argument)
{
    if constexpr (std::is_same<T, LPCSTR>::value || std::is_same<T, LPSTR>::value)
        return argument;
    else
        return NULL;
}

template <typename First, typename... Rest>
First first_of(First first, Rest...)
{
    return first;
}

template <typename R>
R failure_value(INT_PTR value)
{
    if constexpr (std::is_pointer<R>::value)
        return reinterpret_cast<R>(value);
    else
        return static_cast<R>(value);
}

template <int Id, typename F>
struct Wrapper;

template <int Id, typename R, typename... A>
struct Wrapper<Id, R(WINAPI*)(A...)> {
    static R WINAPI call(A... arguments)
    {
        DWORD key = 0;
        const char* path = NULL;
        if constexpr (sizeof...(A) != 0) {
            key = argument_key(first_of(arguments...));
            path = argument_path(first_of(arguments...));
        }
        Verdict verdict =
            decide(Id, __builtin_return_address(0), __builtin_frame_address(0), key);
        auto real = reinterpret_cast<R(WINAPI*)(A...)>(g_hooks[Id].real);
        if (verdict == kTamper) {
            if (g_config.mode == Config::kTamperBefore)
                tamper_with(path);
            if constexpr (std::is_void<R>::value) {
                real(arguments...);
                if (g_config.mode == Config::kTamperAfter)
                    tamper_with(path);
                return;
            } else {
                DWORD error;
                R result = real(arguments...);
                error = GetLastError();
                if (g_config.mode == Config::kTamperAfter)
                    tamper_with(path);
                SetLastError(error);
                return result;
            }
        }
        if constexpr (!std::is_void<R>::value) {
            if (verdict == kFail) {
                const Hook& hook = g_hooks[Id];
                SetLastError(failure_error(hook.errorFirst, hook.errorLast));
                return failure_value<R>(hook.failure);
            }
        }
        return real(arguments...);
    }
};

#define AS_FAIL(name, failure, first, last)                                                  \
    {#name, (void*)&Wrapper<k_##name, decltype(&::name)>::call, NULL, true, (INT_PTR)(failure), \
     (DWORD)(first), (DWORD)(last)},
#define AS_KILL(name) \
    {#name, (void*)&Wrapper<k_##name, decltype(&::name)>::call, NULL, false, 0, 0, 0},
Hook g_hooks[kHookCount] = {WRAPPED(AS_FAIL, AS_KILL)};

Hook* hook_named(const char* name)
{
    for (Hook& hook : g_hooks)
        if (strcmp(hook.name, name) == 0)
            return &hook;
    return NULL;
}

// --- The functions the injector itself needs to change ---------------------

FARPROC (WINAPI* g_getProcAddress)(HMODULE, LPCSTR);
BOOL (WINAPI* g_createProcess)(LPCSTR, LPSTR, LPSECURITY_ATTRIBUTES, LPSECURITY_ATTRIBUTES, BOOL,
                               DWORD, LPVOID, LPCSTR, LPSTARTUPINFOA, LPPROCESS_INFORMATION);
LPTOP_LEVEL_EXCEPTION_FILTER (WINAPI* g_setFilter)(LPTOP_LEVEL_EXCEPTION_FILTER);
void (*g_exit)(int);

// GetProcAddress is a site of its own, and hands out wrappers for the
// listed functions it finds.
FARPROC WINAPI wrapped_get_proc_address(HMODULE module, LPCSTR name)
{
    if (decide(k_GetProcAddress, __builtin_return_address(0), __builtin_frame_address(0),
               argument_key(name)) == kFail) {
        SetLastError(ERROR_PROC_NOT_FOUND);
        return NULL;
    }
    FARPROC real = g_getProcAddress(module, name);
    if (real == NULL || HIWORD((DWORD_PTR)name) == 0)
        return real;
    Hook* hook = hook_named(name);
    if (hook == NULL)
        return real;
    if (hook->real == NULL)
        hook->real = (void*)real;
    return hook->real == (void*)real ? (FARPROC)hook->wrapper : real;
}

// CreateProcessA: a site of its own; a process it starts gets the
// injector too, one generation further.
BOOL WINAPI wrapped_create_process(LPCSTR application, LPSTR commandLine,
                                   LPSECURITY_ATTRIBUTES processAttributes,
                                   LPSECURITY_ATTRIBUTES threadAttributes, BOOL inherit,
                                   DWORD flags, LPVOID environment, LPCSTR folder,
                                   LPSTARTUPINFOA startup, LPPROCESS_INFORMATION process)
{
    Verdict verdict = decide(k_CreateProcessA, __builtin_return_address(0),
                             __builtin_frame_address(0), argument_key(application));
    if (verdict == kFail) {
        SetLastError(failure_error(ERROR_ACCESS_DENIED, ERROR_NOT_ENOUGH_MEMORY));
        return FALSE;
    }
    // The program it starts is already running afterwards: only before.
    if (verdict == kTamper)
        tamper_with(application);
    char generation[16];
    sprintf(generation, "%d", g_config.generation + 1);
    SetEnvironmentVariableA("FAULT_GEN", generation);
    BOOL created = g_createProcess(application, commandLine, processAttributes, threadAttributes,
                                   inherit, flags | CREATE_SUSPENDED, environment, folder, startup,
                                   process);
    DWORD error = GetLastError();
    sprintf(generation, "%d", g_config.generation);
    SetEnvironmentVariableA("FAULT_GEN", generation);
    if (!created) {
        SetLastError(error);
        return FALSE;
    }
    char self[MAX_PATH], line[64];
    GetModuleFileNameA(g_self, self, MAX_PATH);
    load_into(process->hProcess, self);
    sprintf(line, "child\t%d\t%lu\n", g_config.generation, process->dwProcessId);
    append_line(line);
    if (!(flags & CREATE_SUSPENDED))
        ResumeThread(process->hThread);
    SetLastError(ERROR_SUCCESS);
    return TRUE;
}

void write_sites()
{
    static bool written = false;
    if (written)
        return;
    written = true;
    char line[256], text[64];
    for (const Site& site : g_sites) {
        if (site.hook == -1)
            continue;
        format_chain(site.chain, site.depth, text);
        sprintf(line, "site\t%d\t%s\t%s\t%u\t%s\n", g_config.generation, hook_name(site.hook),
                text, site.calls, failable(site.hook) ? "fail" : "kill");
        append_line(line);
    }
}

// A crash ends the process at once: the program's own filter would show
// its notice and retry its report upload every ten minutes.
LONG WINAPI crash_guard(EXCEPTION_POINTERS* exception)
{
    char line[128];
    DWORD address = (DWORD)exception->ExceptionRecord->ExceptionAddress;
    sprintf(line, "crash\t%d\t%08lx\t%lx\n", g_config.generation,
            exception->ExceptionRecord->ExceptionCode,
            in_text(address) ? address - g_imageBase : address);
    append_line(line);
    write_sites();
    TerminateProcess(GetCurrentProcess(), exception->ExceptionRecord->ExceptionCode);
    return EXCEPTION_EXECUTE_HANDLER;
}

LPTOP_LEVEL_EXCEPTION_FILTER WINAPI wrapped_set_filter(LPTOP_LEVEL_EXCEPTION_FILTER filter)
{
    LPTOP_LEVEL_EXCEPTION_FILTER previous = g_programFilter;
    g_programFilter = filter;
    g_setFilter(crash_guard);
    return previous;
}

void wrapped_exit(int code)
{
    char line[64];
    sprintf(line, "exit\t%d\t%d\n", g_config.generation, code);
    append_line(line);
    write_sites();
    g_exit(code);
}

void read_config()
{
    char value[512];
    if (GetEnvironmentVariableA("FAULT_LOG", g_config.log, MAX_PATH) >= MAX_PATH)
        g_config.log[0] = '\0';
    g_config.generation =
        GetEnvironmentVariableA("FAULT_GEN", value, sizeof value) != 0 ? atoi(value) : 0;
    g_config.mode = Config::kRecord;
    if (GetEnvironmentVariableA("FAULT_MODE", value, sizeof value) != 0)
        g_config.mode = strcmp(value, "fail") == 0            ? Config::kFailMode
                        : strcmp(value, "kill") == 0          ? Config::kKillMode
                        : strcmp(value, "once") == 0          ? Config::kOnceMode
                        : strcmp(value, "tamper-before") == 0 ? Config::kTamperBefore
                        : strcmp(value, "tamper-after") == 0  ? Config::kTamperAfter
                                                              : Config::kRecord;
    if (GetEnvironmentVariableA("FAULT_TAMPER", g_config.tamper, MAX_PATH) >= MAX_PATH)
        g_config.tamper[0] = '\0';
    g_config.targetGeneration = -1;
    DWORD length = GetEnvironmentVariableA("FAULT_TARGET", value, sizeof value);
    char chain[128], which[16];
    if (length != 0 && length < sizeof value &&
        sscanf(value, "%d %63s %127s %u %15s", &g_config.targetGeneration,
               g_config.targetFunction, chain, &g_config.targetNth, which) == 5) {
        g_config.targetLast = strcmp(which, "last") == 0;
        char* at = chain;
        while (g_config.targetDepth < kDepth && *at != '\0') {
            g_config.targetChain[g_config.targetDepth++] = strtoul(at, &at, 16);
            if (*at == ',')
                ++at;
        }
    }
}

void find_code(HMODULE image)
{
    BYTE* base = (BYTE*)image;
    IMAGE_NT_HEADERS* headers = (IMAGE_NT_HEADERS*)(base + ((IMAGE_DOS_HEADER*)base)->e_lfanew);
    IMAGE_SECTION_HEADER* section = IMAGE_FIRST_SECTION(headers);
    g_imageBase = (DWORD)base;
    g_textStart = 0xFFFFFFFF;
    for (int i = 0; i < headers->FileHeader.NumberOfSections; ++i, ++section) {
        if (!(section->Characteristics & IMAGE_SCN_MEM_EXECUTE))
            continue;
        DWORD start = g_imageBase + section->VirtualAddress;
        if (start < g_textStart)
            g_textStart = start;
        if (start + section->Misc.VirtualSize > g_textEnd)
            g_textEnd = start + section->Misc.VirtualSize;
    }
}

void patch_slot(void** slot, void* wrapper)
{
    DWORD old;
    if (VirtualProtect(slot, sizeof *slot, PAGE_READWRITE, &old)) {
        *slot = wrapper;
        VirtualProtect(slot, sizeof *slot, old, &old);
    }
}

void patch_imports(HMODULE image)
{
    BYTE* base = (BYTE*)image;
    IMAGE_NT_HEADERS* headers = (IMAGE_NT_HEADERS*)(base + ((IMAGE_DOS_HEADER*)base)->e_lfanew);
    IMAGE_DATA_DIRECTORY directory =
        headers->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    if (directory.VirtualAddress == 0)
        return;
    for (IMAGE_IMPORT_DESCRIPTOR* module = (IMAGE_IMPORT_DESCRIPTOR*)(base + directory.VirtualAddress);
         module->Name != 0; ++module) {
        IMAGE_THUNK_DATA* names = (IMAGE_THUNK_DATA*)(base + (module->OriginalFirstThunk != 0
                                                                  ? module->OriginalFirstThunk
                                                                  : module->FirstThunk));
        void** slots = (void**)(base + module->FirstThunk);
        for (; names->u1.AddressOfData != 0; ++names, ++slots) {
            if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal))
                continue;
            const char* name = (const char*)((IMAGE_IMPORT_BY_NAME*)(base + names->u1.AddressOfData))->Name;
            if (strcmp(name, "GetProcAddress") == 0) {
                g_getProcAddress = (FARPROC(WINAPI*)(HMODULE, LPCSTR))*slots;
                patch_slot(slots, (void*)&wrapped_get_proc_address);
            } else if (strcmp(name, "CreateProcessA") == 0) {
                g_createProcess = (decltype(g_createProcess))*slots;
                patch_slot(slots, (void*)&wrapped_create_process);
            } else if (strcmp(name, "SetUnhandledExceptionFilter") == 0) {
                g_setFilter = (decltype(g_setFilter))*slots;
                patch_slot(slots, (void*)&wrapped_set_filter);
            } else if (strcmp(name, "exit") == 0) {
                g_exit = (void (*)(int)) * slots;
                patch_slot(slots, (void*)&wrapped_exit);
            } else if (Hook* hook = hook_named(name)) {
                if (hook->real == NULL)
                    hook->real = *slots;
                if (hook->real == *slots)
                    patch_slot(slots, hook->wrapper);
            }
            for (const char* callback : kCallingBack)
                if (strcmp(name, callback) == 0 && g_callbackSlotCount < 32)
                    g_callbackSlots[g_callbackSlotCount++] = slots;
        }
    }
}

} // namespace

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved)
{
    if (reason == DLL_PROCESS_ATTACH) {
        g_self = instance;
        DisableThreadLibraryCalls(instance);
        InitializeCriticalSection(&g_lock);
        for (Site& site : g_sites)
            site.hook = -1;
        read_config();
        read_code_map();
        HMODULE image = GetModuleHandleA(NULL);
        find_code(image);
        if (HMODULE user32 = GetModuleHandleA("user32.dll")) {
            BYTE* base = (BYTE*)user32;
            IMAGE_NT_HEADERS* headers =
                (IMAGE_NT_HEADERS*)(base + ((IMAGE_DOS_HEADER*)base)->e_lfanew);
            g_user32Start = (DWORD)base;
            g_user32End = g_user32Start + headers->OptionalHeader.SizeOfImage;
        }
        patch_imports(image);
        // A crash before the program sets its own filter ends the same way.
        SetUnhandledExceptionFilter(crash_guard);
    } else if (reason == DLL_PROCESS_DETACH && reserved != NULL) {
        write_sites();
    }
    return TRUE;
}
