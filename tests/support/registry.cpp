#include "tests/support/registry.h"

#include <shlobj.h>
#include <shlwapi.h>

#include <vector>

StoredValue read_value(HKEY root, const std::string& path, const char* name)
{
    StoredValue value;
    HKEY key;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return value;
    DWORD size = 0;
    if (RegQueryValueExA(key, name, NULL, &value.type, NULL, &size) == ERROR_SUCCESS) {
        std::vector<char> data(size + 1);
        if (RegQueryValueExA(key, name, NULL, &value.type, (BYTE*)data.data(), &size) ==
            ERROR_SUCCESS) {
            value.present = true;
            value.size = size;
            value.bytes.assign(data.data(), size);
        }
    }
    RegCloseKey(key);
    return value;
}

bool key_exists(HKEY root, const std::string& path)
{
    HKEY key;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

void delete_key_tree(HKEY root, const std::string& path)
{
    SHDeleteKeyA(root, path.c_str());
}

void set_raw_value(HKEY root, const std::string& path, const char* name, DWORD type,
                   const std::string& bytes)
{
    HKEY key;
    if (RegCreateKeyExA(root, path.c_str(), 0, NULL, 0, KEY_WRITE, NULL, &key, NULL) !=
        ERROR_SUCCESS)
        return;
    RegSetValueExA(key, name, 0, type, (const BYTE*)bytes.data(), (DWORD)bytes.size());
    RegCloseKey(key);
}

void set_string_value(HKEY root, const std::string& path, const char* name,
                      const std::string& text)
{
    set_raw_value(root, path, name, REG_SZ, std::string(text.c_str(), text.size() + 1));
}

std::string subkey_names(HKEY root, const std::string& path)
{
    std::string names;
    HKEY key;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return names;
    char name[256];
    for (DWORD i = 0;; ++i) {
        DWORD length = sizeof name;
        if (RegEnumKeyExA(key, i, name, &length, NULL, NULL, NULL, NULL) != ERROR_SUCCESS)
            break;
        names += names.empty() ? "" : "|";
        names += name;
    }
    RegCloseKey(key);
    return names;
}

namespace {

std::wstring long_form(const std::string& path)
{
    int length = MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, NULL, 0);
    std::wstring wide(length, L'\0');
    MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, &wide[0], length);
    wide.resize(length - 1);
    return L"\\\\?\\" + wide;
}

}  // namespace

bool file_exists(const std::string& path)
{
    DWORD attributes = GetFileAttributesW(long_form(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::string file_contents(const std::string& path)
{
    std::string contents;
    HANDLE file = CreateFileW(long_form(path).c_str(), GENERIC_READ, FILE_SHARE_READ, NULL,
                              OPEN_EXISTING, 0, NULL);
    if (file == INVALID_HANDLE_VALUE)
        return contents;
    char block[4096];
    DWORD got;
    while (ReadFile(file, block, sizeof block, &got, NULL) && got != 0)
        contents.append(block, got);
    CloseHandle(file);
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

std::string uninstaller_list()
{
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, NULL, TRUE};
    HANDLE readEnd, writeEnd;
    if (!CreatePipe(&readEnd, &writeEnd, &inherit, 0))
        return "(no pipe)";
    SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = writeEnd;
    startup.hStdError = writeEnd;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    PROCESS_INFORMATION process;
    char commandLine[] = "uninstaller.exe --list";
    BOOL started = CreateProcessA(NULL, commandLine, NULL, NULL, TRUE, 0, NULL, NULL, &startup,
                                  &process);
    CloseHandle(writeEnd);
    std::string output;
    if (started) {
        char block[1024];
        DWORD got;
        while (ReadFile(readEnd, block, sizeof block, &got, NULL) && got != 0)
            output.append(block, got);
        WaitForSingleObject(process.hProcess, 30000);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    } else {
        output = "(uninstaller.exe did not start)";
    }
    CloseHandle(readEnd);
    return output;
}

size_t count_of(const std::string& text, const std::string& part)
{
    size_t count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++count;
    return count;
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
