#include "tests/win/e2e/installed.h"

#include <shlobj.h>

#include <gtest/gtest.h>

#include "payload/catalogue.h"
#include "tests/support/benchutil.h"
#include "tests/support/robot.h"
#include "tests/support/registry.h"

namespace e2e {

const char kInstallFolder[] = "C:\\Program Files (x86)\\Veltranox";
const char kAppPathsKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\Veltranox.exe";
const char kUninstallKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Veltranox";
const char kUninstallListEntry[] = "Veltranox|||Veltranox 2003   (Remove Only)";
const char kLaunchRecord[] = "launch-record.txt";

namespace {

const char kLinkName[] = "\\Veltranox 2003.lnk";

// A Unix path as Wine's drive Z: shows it.
std::string from_unix(const std::string& path)
{
    std::string windows = "Z:" + path;
    for (char& c : windows)
        if (c == '/')
            c = '\\';
    return windows;
}

} // namespace

bool Payload::load(const char* variable)
{
    char list[MAX_PATH];
    if (GetEnvironmentVariableA(variable, list, MAX_PATH) == 0) {
        error = std::string(variable) + " is not set";
        return false;
    }
    std::string text = read_file(list);
    if (text.empty()) {
        error = std::string("cannot read ") + list;
        return false;
    }
    size_t at = 0;
    while (at < text.size()) {
        size_t end = text.find('\n', at);
        if (end == std::string::npos)
            end = text.size();
        std::string line = text.substr(at, end - at);
        at = end + 1;
        size_t tab = line.find('\t');
        if (line.empty() || tab == std::string::npos)
            continue;
        int id = atoi(line.c_str());
        std::string bytes = read_file(from_unix(line.substr(tab + 1)));
        if (bytes.empty()) {
            error = "cannot read the file of payload " + std::to_string(id) + ": " +
                    line.substr(tab + 1);
            return false;
        }
        files_[id] = bytes;
    }
    if (files_.size() != kPayloadEntryCount) {
        error = "payload list holds " + std::to_string(files_.size()) + " entries";
        return false;
    }
    return true;
}

size_t Payload::total_size() const
{
    size_t total = 0;
    for (const auto& file : files_)
        total += file.second.size();
    return total;
}

const std::string& Payload::bytes(int id) const
{
    static const std::string none;
    auto found = files_.find(id);
    return found == files_.end() ? none : found->second;
}

std::vector<std::string> private_folders_in(const std::string& temp)
{
    std::vector<std::string> names;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((temp + "vlx*.tmp").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return names;
    do {
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            names.push_back(found.cFileName);
    } while (FindNextFileA(search, &found));
    FindClose(search);
    return names;
}

std::string temp_folder()
{
    char path[MAX_PATH];
    DWORD length = GetTempPathA(MAX_PATH, path);
    return std::string(path, length);
}

void expect_installation(const Payload& payload, const std::string& folder,
                         const std::string& uninstallerFolder,
                         const std::set<std::string>& extra, int absentId)
{
    const std::string windows = windows_directory();
    std::set<std::string> expectedNames = extra;
    for (int i = 0; i < kPayloadEntryCount; ++i) {
        const PayloadEntry& entry = kPayloadCatalogue[i];
        SCOPED_TRACE(entry.fileName);
        std::string where = folder;
        if (entry.destination == PayloadDestination::WindowsDirectory)
            where = windows;
        else if (entry.destination == PayloadDestination::Uninstaller)
            where = uninstallerFolder;
        if (where == folder)
            expectedNames.insert(entry.fileName);
        std::string path = where + "\\" + entry.fileName;
        if (entry.id == absentId) {
            expectedNames.erase(entry.fileName);
            EXPECT_FALSE(file_exists(path)) << path;
            continue;
        }
        std::string installed = read_file(path);
        const std::string& expected = payload.bytes(entry.id);
        ASSERT_FALSE(expected.empty());
        // Sizes first: a megabyte printed on failure helps nobody.
        EXPECT_EQ(expected.size(), installed.size()) << path;
        EXPECT_TRUE(expected == installed) << path << " differs from the payload";
        DWORD attributes = attributes_of(path);
        DWORD kept = attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN |
                                   FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_DIRECTORY |
                                   FILE_ATTRIBUTE_TEMPORARY | FILE_ATTRIBUTE_OFFLINE);
        EXPECT_EQ(entry.readOnly ? (DWORD)FILE_ATTRIBUTE_READONLY : 0u, kept)
            << path << " has attributes " << std::hex << attributes;
    }
    // The exact names: nothing left over ("image.tmp"), the case kept.
    EXPECT_EQ(expectedNames, names_in(folder));
    const std::string other = uninstallerFolder == folder ? windows : folder;
    EXPECT_FALSE(file_exists(other + "\\vcluins1.exe")) << "a second uninstaller in " << other;
    EXPECT_FALSE(file_exists(temp_folder() + "data.tmp"));
    EXPECT_TRUE(private_folders_in(temp_folder()).empty()) << "a private temp folder was left";
}

void expect_string(HKEY root, const std::string& key, const char* name, const std::string& text)
{
    StoredValue value = read_value(root, key, name);
    ASSERT_TRUE(value.present) << key << " \"" << (name ? name : "(default)") << "\" is missing";
    EXPECT_EQ((DWORD)REG_SZ, value.type) << key << " " << (name ? name : "(default)");
    EXPECT_EQ(std::string(text.c_str(), text.size() + 1), value.bytes)
        << key << " " << (name ? name : "(default)");
}

void expect_dword(HKEY root, const std::string& key, const char* name, DWORD expected)
{
    StoredValue value = read_value(root, key, name);
    ASSERT_TRUE(value.present) << key << " \"" << name << "\" is missing";
    EXPECT_EQ((DWORD)REG_DWORD, value.type) << key << " " << name;
    ASSERT_EQ(4u, value.size) << key << " " << name;
    DWORD stored;
    memcpy(&stored, value.bytes.data(), 4);
    EXPECT_EQ(expected, stored) << key << " " << name;
}

void expect_no_value(HKEY root, const std::string& key, const char* name)
{
    StoredValue value = read_value(root, key, name);
    EXPECT_FALSE(value.present) << key << " \"" << (name ? name : "(default)")
                                << "\" = " << value.text();
}

std::string start_menu_link()
{
    return shell_folder(CSIDL_STARTMENU) + kLinkName;
}

std::string desktop_link()
{
    return shell_folder(CSIDL_DESKTOPDIRECTORY) + kLinkName;
}

std::string quick_launch_link()
{
    return shell_folder(CSIDL_LOCAL_APPDATA) + "\\Microsoft\\Internet Explorer\\Quick Launch" +
           kLinkName;
}

void expect_links_into(const std::string& folder)
{
    CoInitialize(nullptr);
    for (const std::string& path : {start_menu_link(), desktop_link(), quick_launch_link()}) {
        IShellLinkA* link = nullptr;
        ASSERT_EQ(S_OK, CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER,
                                         IID_IShellLinkA, (void**)&link));
        IPersistFile* file = nullptr;
        WCHAR wide[MAX_PATH];
        char target[MAX_PATH] = "", directory[MAX_PATH] = "";
        // The link's name is in the system's code page, as all the paths here.
        if (MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, wide, MAX_PATH) != 0 &&
            SUCCEEDED(link->QueryInterface(IID_IPersistFile, (void**)&file))) {
            if (SUCCEEDED(file->Load(wide, STGM_READ))) {
                link->GetPath(target, MAX_PATH, nullptr, SLGP_RAWPATH);
                link->GetWorkingDirectory(directory, MAX_PATH);
            }
            file->Release();
        }
        link->Release();
        EXPECT_EQ(folder + "\\Veltranox.exe", target) << path;
        EXPECT_EQ(folder, directory) << path;
    }
    CoUninitialize();
}

bool make_quick_launch_folder()
{
    std::string link = quick_launch_link();
    return make_folders(link.substr(0, link.size() - (sizeof kLinkName - 1)));
}

std::string wait_for_launch_record(const std::string& folder, DWORD timeoutMs)
{
    // The probe renames its record into place whole, but a loaded machine
    // can still show the name before a reader may open it: wait for text.
    std::string record = folder + "\\" + kLaunchRecord;
    std::string contents;
    robot::wait_until([&] { return !(contents = read_file(record)).empty(); }, timeoutMs);
    return contents;
}

} // namespace e2e
