#include "tests/support/planted.h"

#include <windows.h>

#include "tests/support/benchutil.h"

namespace planted {

namespace {

// The libraries the programs load themselves, then what the system
// libraries they use (the shell, COM, the common controls, WinINet, the
// folder browser) may look up. Left out: names that Wine loads for its own
// built-in DLLs while the process starts, before any code of the program
// runs (version through comctl32, shlwapi, shcore, combase, rpcrt4 through
// shell32 and ole32, imm32 through user32): with native first, Wine takes
// the planted file for them whatever the program does. Left out too:
// msimg32, which Wine's built-ins load on first drawing as a delayed
// import, resolved along the search path the process started with. Windows has all but
// version among its KnownDLLs; that the programs themselves never import
// version.dll is what the release's import check shows.
const char* const kNames[] = {
    "wininet", "lz32", "comctl32", "uxtheme", "dwmapi", "riched20", "riched32",
    "cryptbase", "userenv", "profapi", "secur32", "sspicli", "winmm", "propsys", "oleaut32",
    "shfolder", "comdlg32", "urlmon", "iertutil", "dnsapi", "ws2_32", "wsock32", "mswsock",
    "netapi32", "winhttp", "msctf", "setupapi", "cfgmgr32", "apphelp", "mpr", "crypt32",
    "rsaenh", "bcrypt", "ntmarta", "wtsapi32", "dbghelp", "powrprof", "msasn1", "wintrust",
    "imagehlp", "linkinfo", "ntshrui", "cscapi", "iphlpapi", "nsi", "winnsi", "dhcpcsvc",
};

const char kOverridesKey[] = "Software\\Wine\\DllOverrides";
const char kNativeFirst[] = "native,builtin";

} // namespace

bool plant_libraries(const std::string& folder)
{
    char source[MAX_PATH];
    DWORD length = GetEnvironmentVariableA("PLANTED_DLL", source, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return false;
    for (const char* name : kNames) {
        std::string target = folder + "\\" + name + ".dll";
        if (!CopyFileA(source, target.c_str(), FALSE))
            return false;
    }
    return true;
}

std::string loaded_in(const std::string& folder)
{
    std::string loaded;
    for (const std::string& name : names_in(folder)) {
        const std::string suffix = ".loaded";
        if (name.size() <= suffix.size() ||
            name.compare(name.size() - suffix.size(), suffix.size(), suffix) != 0)
            continue;
        std::string by;
        HANDLE marker = CreateFileA((folder + "\\" + name).c_str(), GENERIC_READ,
                                    FILE_SHARE_READ, NULL, OPEN_EXISTING, 0, NULL);
        if (marker != INVALID_HANDLE_VALUE) {
            char text[MAX_PATH];
            DWORD read = 0;
            if (ReadFile(marker, text, sizeof text, &read, NULL))
                by.assign(text, read);
            CloseHandle(marker);
        }
        loaded += name.substr(0, name.size() - suffix.size()) + " loaded by " + by + "\n";
    }
    return loaded;
}

// Wine's own list of load orders, read by every process as it starts. (A
// WINEDLLOVERRIDES set here would not reach the programs this one starts.)
NativeFirst::NativeFirst() : set_(false)
{
    HKEY key;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, kOverridesKey, 0, NULL, 0, KEY_SET_VALUE, NULL, &key,
                        NULL) != ERROR_SUCCESS)
        return;
    set_ = true;
    for (const char* name : kNames)
        set_ = RegSetValueExA(key, name, 0, REG_SZ, (const BYTE*)kNativeFirst,
                              sizeof kNativeFirst) == ERROR_SUCCESS && set_;
    RegCloseKey(key);
}

NativeFirst::~NativeFirst()
{
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kOverridesKey, 0, KEY_SET_VALUE, &key) != ERROR_SUCCESS)
        return;
    for (const char* name : kNames)
        RegDeleteValueA(key, name);
    RegCloseKey(key);
}

} // namespace planted
