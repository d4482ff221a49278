#include "tests/support/benchutil.h"

#include <sddl.h>
#include <string.h>

#include <map>
#include <utility>
#include <vector>

void apply_test_environment()
{
    static const char kPrefix[] = "WINETEST_ENV_";
    const size_t prefixLength = sizeof kPrefix - 1;
    std::vector<std::pair<std::string, std::string>> found;
    char* block = GetEnvironmentStringsA();
    if (block == nullptr)
        return;
    for (const char* entry = block; *entry != '\0'; entry += strlen(entry) + 1) {
        if (_strnicmp(entry, kPrefix, prefixLength) != 0)
            continue;
        const char* equals = strchr(entry + prefixLength, '=');
        if (equals == nullptr)
            continue;
        found.emplace_back(std::string(entry, equals), std::string(equals + 1));
    }
    FreeEnvironmentStringsA(block);
    for (auto& variable : found) {
        SetEnvironmentVariableA(variable.first.substr(prefixLength).c_str(),
                                variable.second.c_str());
        SetEnvironmentVariableA(variable.first.c_str(), nullptr);
    }
}

std::string sibling_path(const char* name)
{
    char path[MAX_PATH];
    DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string result(path, length);
    size_t slash = result.find_last_of("\\/");
    result.resize(slash == std::string::npos ? 0 : slash + 1);
    return result + name;
}

namespace {

// Previous security descriptors, by root and lower-cased path.
std::map<std::pair<HKEY, std::string>, std::vector<BYTE>>& saved_descriptors()
{
    static std::map<std::pair<HKEY, std::string>, std::vector<BYTE>> saved;
    return saved;
}

std::pair<HKEY, std::string> key_id(HKEY root, const char* path)
{
    std::string lower(path);
    CharLowerA(&lower[0]);
    return {root, lower};
}

} // namespace

LONG make_key_read_only(HKEY root, const char* path)
{
    HKEY key;
    LONG status = RegCreateKeyExA(root, path, 0, nullptr, 0, READ_CONTROL | WRITE_DAC,
                                  nullptr, &key, nullptr);
    if (status != ERROR_SUCCESS)
        return status;
    DWORD size = 0;
    RegGetKeySecurity(key, DACL_SECURITY_INFORMATION, nullptr, &size);
    std::vector<BYTE> previous(size ? size : 1);
    status = RegGetKeySecurity(key, DACL_SECURITY_INFORMATION, previous.data(), &size);
    if (status == ERROR_SUCCESS) {
        PSECURITY_DESCRIPTOR descriptor = nullptr;
        if (!ConvertStringSecurityDescriptorToSecurityDescriptorA(
                "D:P(A;;KR;;;WD)(A;;KR;;;BA)(A;;KR;;;SY)", SDDL_REVISION_1, &descriptor,
                nullptr)) {
            status = (LONG)GetLastError();
        } else {
            status = RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, descriptor);
            LocalFree(descriptor);
        }
    }
    RegCloseKey(key);
    auto id = key_id(root, path);
    if (status == ERROR_SUCCESS && saved_descriptors().count(id) == 0)
        saved_descriptors()[id] = std::move(previous);
    return status;
}

LONG restore_key_access(HKEY root, const char* path)
{
    auto id = key_id(root, path);
    auto found = saved_descriptors().find(id);
    if (found == saved_descriptors().end())
        return ERROR_NOT_FOUND;
    HKEY key;
    // The owner may always change the DACL, whatever it grants.
    LONG status = RegOpenKeyExA(root, path, 0, WRITE_DAC, &key);
    if (status != ERROR_SUCCESS)
        return status;
    status = RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, found->second.data());
    RegCloseKey(key);
    if (status == ERROR_SUCCESS)
        saved_descriptors().erase(found);
    return status;
}

int run_and_wait(const std::string& commandLine, DWORD timeoutMs, bool inheritHandles)
{
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    std::string line = commandLine;
    if (!CreateProcessA(nullptr, &line[0], nullptr, nullptr, inheritHandles, 0, nullptr,
                        nullptr, &startup, &process))
        return -1;
    int result;
    if (WaitForSingleObject(process.hProcess, timeoutMs) != WAIT_OBJECT_0) {
        TerminateProcess(process.hProcess, 1);
        result = -2;
    } else {
        DWORD code = 0;
        GetExitCodeProcess(process.hProcess, &code);
        result = (int)code;
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return result;
}

std::set<std::string> names_in(const std::string& folder)
{
    std::set<std::string> names;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return names;
    do {
        std::string name = found.cFileName;
        if (name != "." && name != "..")
            names.insert(name);
    } while (FindNextFileA(search, &found));
    FindClose(search);
    return names;
}

void remove_tree(const std::string& folder)
{
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            std::string name = found.cFileName;
            if (name == "." || name == "..")
                continue;
            std::string path = folder + "\\" + name;
            SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                remove_tree(path);
            else
                DeleteFileA(path.c_str());
        } while (FindNextFileA(search, &found));
        FindClose(search);
    }
    SetFileAttributesA(folder.c_str(), FILE_ATTRIBUTE_NORMAL);
    RemoveDirectoryA(folder.c_str());
}

std::string system_text(DWORD error)
{
    char* text = nullptr;
    DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_ALLOCATE_BUFFER |
                                      FORMAT_MESSAGE_IGNORE_INSERTS,
                                  nullptr, error, 0x400, (LPSTR)&text, 0, nullptr);
    std::string result = length != 0 && text != nullptr ? std::string(text, length) : "";
    LocalFree(text);
    return result;
}
