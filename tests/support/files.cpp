#include "tests/support/files.h"

#include <shlobj.h>

namespace {

// The path as the wide file functions take it beyond MAX_PATH: "\\?\"
// before a drive path (whose slashes become backslashes, which that form
// requires); any other path as it is.
std::wstring long_form(const std::string& path)
{
    int length = MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, NULL, 0);
    std::wstring wide(length, L'\0');
    MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, &wide[0], length);
    wide.resize(length - 1);
    bool drivePath = wide.size() >= 3 && wide[1] == L':' && (wide[2] == L'\\' || wide[2] == L'/');
    if (!drivePath)
        return wide;
    for (wchar_t& c : wide)
        if (c == L'/')
            c = L'\\';
    return L"\\\\?\\" + wide;
}

}  // namespace

DWORD attributes_of(const std::string& path)
{
    return GetFileAttributesW(long_form(path).c_str());
}

bool path_exists(const std::string& path)
{
    return attributes_of(path) != INVALID_FILE_ATTRIBUTES;
}

bool file_exists(const std::string& path)
{
    DWORD attributes = attributes_of(path);
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool folder_exists(const std::string& path)
{
    DWORD attributes = attributes_of(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::string read_file(const std::string& path, bool* ok)
{
    if (ok != nullptr)
        *ok = false;
    std::string contents;
    HANDLE file = CreateFileW(long_form(path).c_str(), GENERIC_READ, FILE_SHARE_READ, NULL,
                              OPEN_EXISTING, 0, NULL);
    if (file == INVALID_HANDLE_VALUE)
        return contents;
    char block[65536];
    DWORD got = 0;
    bool read;
    while ((read = ReadFile(file, block, sizeof block, &got, NULL) != 0) && got != 0)
        contents.append(block, got);
    CloseHandle(file);
    if (!read)
        return std::string();
    if (ok != nullptr)
        *ok = true;
    return contents;
}

bool write_file(const std::string& path, const std::string& bytes)
{
    HANDLE file = CreateFileW(long_form(path).c_str(), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0,
                              NULL);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    bool ok = WriteFile(file, bytes.data(), (DWORD)bytes.size(), &written, NULL) &&
              written == bytes.size();
    CloseHandle(file);
    return ok;
}

bool make_folders(const std::string& path)
{
    // Character by character: in a double-byte code page a backslash byte
    // can be the second half of a character.
    for (size_t i = 3; i <= path.size();) {
        if (i == path.size() || path[i] == '\\') {
            std::wstring level = long_form(path.substr(0, i));
            if (!CreateDirectoryW(level.c_str(), NULL) && GetLastError() != ERROR_ALREADY_EXISTS)
                return false;
        }
        if (i == path.size())
            break;
        i = CharNextA(path.c_str() + i) - path.c_str();
    }
    return true;
}

std::string make_folder_of_length(const std::string& parent, size_t length)
{
    std::string path = parent;
    char fill = 'a';
    while (path.size() < length) {
        // Each level takes a backslash and 1 to 200 characters; never leave
        // a single character over for the next level.
        size_t remaining = length - path.size();
        size_t component = remaining <= 201 ? remaining - 1 : (remaining == 202 ? 199 : 200);
        path += '\\';
        path.append(component, fill++);
    }
    make_folders(path);
    return path;
}

bool remove_file(const std::string& path)
{
    std::wstring wide = long_form(path);
    SetFileAttributesW(wide.c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileW(wide.c_str());
    return !file_exists(path);
}

std::string windows_directory()
{
    char path[MAX_PATH];
    UINT length = GetWindowsDirectoryA(path, MAX_PATH);
    return std::string(path, length);
}

std::string shell_folder(int csidl)
{
    char path[MAX_PATH];
    if (FAILED(SHGetFolderPathA(NULL, csidl, NULL, SHGFP_TYPE_CURRENT, path)))
        return std::string();
    return path;
}

bool keep_for_lnkinfo(const std::string& link, const char* name)
{
    char output[MAX_PATH];
    if (!GetEnvironmentVariableA("LINK_OUTPUT", output, MAX_PATH))
        return false;
    make_folders(output);
    std::string copy = std::string(output) + "\\" + name;
    return CopyFileA(link.c_str(), copy.c_str(), FALSE) != 0;
}

namespace {

// The Unix path of a Windows one (Wine's kernel32 names it); empty when
// there is none.
std::string unix_path(const std::string& path)
{
    typedef char*(CDECL * UnixName)(const WCHAR*);
    UnixName unixName = reinterpret_cast<UnixName>(reinterpret_cast<void (*)()>(
        GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name")));
    std::wstring wide = long_form(path);
    if (wide.compare(0, 4, L"\\\\?\\") == 0)
        wide.erase(0, 4);
    char* name = unixName != NULL ? unixName(wide.c_str()) : NULL;
    if (name == NULL)
        return "";
    std::string result = name;
    HeapFree(GetProcessHeap(), 0, name);
    return result;
}

// Runs a Unix program (Wine starts one like a Windows program, but hands
// back no process to wait for), until done says it has done its work.
bool run_unix(const std::string& commandLine, bool (*done)(const std::string&),
              const std::string& path)
{
    std::string line = commandLine;
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process;
    if (CreateProcessA(NULL, &line[0], NULL, NULL, FALSE, 0, NULL, NULL, &startup, &process)) {
        WaitForSingleObject(process.hProcess, 30000);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    }
    for (int waited = 0; waited < 30000; waited += 50) {
        if (done(path))
            return true;
        Sleep(50);
    }
    return false;
}

// A name stands at path (a link counts, also one that leads nowhere).
bool name_stands(const std::string& path)
{
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW(long_form(path).c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return false;
    FindClose(search);
    return true;
}

bool name_gone(const std::string& path)
{
    return !name_stands(path);
}

}  // namespace

// Wine makes a Unix symbolic link of a Windows one: the Unix ln makes it,
// the Unix rm removes it (the file functions would act on its target).
bool make_file_symlink(const std::string& link, const std::string& target)
{
    std::string from = unix_path(target), to = unix_path(link);
    return !from.empty() && !to.empty() &&
           run_unix("\"Z:\\bin\\ln\" -s -f -n \"" + from + "\" \"" + to + "\"", name_stands, link);
}

bool remove_file_symlink(const std::string& link)
{
    std::string path = unix_path(link);
    return !path.empty() && run_unix("\"Z:\\bin\\rm\" -f \"" + path + "\"", name_gone, link);
}
