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
