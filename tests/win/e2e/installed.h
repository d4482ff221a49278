// What an installation left behind, checked from outside the setup
// program: the files against the payload the build packed, the registry
// values, the links and the uninstall list.
#pragma once
#include <windows.h>

#include <map>
#include <set>
#include <string>
#include <vector>

#include "tests/support/files.h"

namespace e2e {

extern const char kInstallFolder[];   // the proposal on a fresh machine
extern const char kAppPathsKey[];     // HKLM
extern const char kUninstallKey[];    // HKLM
extern const char kUninstallListEntry[];
extern const char kLaunchRecord[];    // written by the launch probe

// The bytes each payload id installs, read from a build's
// payload_sources.txt ("id form stored<TAB>source" a line, Unix paths
// reached through drive Z:). The file named by environment variable
// `variable` (a Windows path).
class Payload {
public:
    bool load(const char* variable);
    const std::string& bytes(int id) const;
    // The bytes of all entries together.
    size_t total_size() const;
    std::string error;

private:
    std::map<int, std::string> files_;
};

std::string temp_folder();
// The folders an elevated setup program makes for itself in temp
// ("vlx*.tmp"), by name.
std::vector<std::string> private_folders_in(const std::string& temp);

// Every catalogued file in its place, byte for byte, read-only exactly
// where the catalogue says; the install folder holds nothing else but
// `extra`; no "data.tmp" and no private folder in the temp folder. The uninstaller is expected in
// `uninstallerFolder` (and not in the other of the two folders). The entry
// of payload id `absentId`, when given, must be missing instead.
void expect_installation(const Payload& payload, const std::string& folder,
                         const std::string& uninstallerFolder,
                         const std::set<std::string>& extra = {}, int absentId = 0);

// Registry expectations: a REG_SZ stored with its terminating zero, a
// REG_DWORD, or no such value.
void expect_string(HKEY root, const std::string& key, const char* name, const std::string& text);
void expect_dword(HKEY root, const std::string& key, const char* name, DWORD value);
void expect_no_value(HKEY root, const std::string& key, const char* name);

// The three links' paths: Start menu, desktop, Quick Launch (below the
// local application data folder).
std::string start_menu_link();
std::string desktop_link();
std::string quick_launch_link();
// The three links, read back through the shell: each starts
// folder\Veltranox.exe in folder.
void expect_links_into(const std::string& folder);
// A browser would have made the Quick Launch folder; the setup program
// makes no folder for its links.
bool make_quick_launch_folder();

// How the launch probe was started: "current folder\r\nshow\r\nown path\r\n",
// once its record appears in `folder` (empty when it did not within
// timeoutMs).
std::string wait_for_launch_record(const std::string& folder, DWORD timeoutMs);

} // namespace e2e
