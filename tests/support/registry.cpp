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
