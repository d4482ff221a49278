// fault-walk.exe: every call site of four scenarios failed once, at its
// first call and at its last, and ended once (faultinject.dll, injector.cpp),
// with the release setup program and the uninstaller it installs, each run
// followed by a plain run that must recover. One line per run, then
// "N runs: N held, N broken"; the exit code is 1 when a run is broken.
//
// A file call that a virus scanner's brief hold can fail is also failed
// once with a sharing violation and then let through ("once"); where the
// program tries the same call again, or the call replaces or deletes a
// file of the setup program's own by name, the run must then end exactly
// as a clean run does. Two files that the program holds against other
// programs of the user are written over at the program's own calls
// ("tamper"): "data.tmp" right after its creation, and the uninstaller's
// copy right before it is checked and right before it is started.
//
// Scenarios: a first installation; an installation over a previous one; two
// uninstalls with a file of the user's own in the folder, one with the
// uninstaller in the install folder (it hands over to a copy of itself),
// one with it in the Windows directory, where the uninstall entry points.
//
// usage: fault-walk.exe [--subset] [--list] [--scenario NAME] [--site TEXT]
//   --subset    the runs that `make test` makes (see in_subset)
//   --list      only list the sites
//   --scenario  only first, over, uninstall or uninstall-registered
//   --site      only the sites whose line contains TEXT
// Next to it: VeltranoxSetup.exe (release), faultinject.dll and the code
// maps VeltranoxSetup.map and vcluins1.map (site_map.py). What a run leaves
// is compared byte for byte with what a clean run of the scenario left.
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>

#include <algorithm>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "tests/support/benchutil.h"
#include "tests/support/fault/load_into.h"
#include "tests/win/e2e/installed.h"
#include "tests/win/e2e/walk.h"
#include "tests/support/files.h"
#include "tests/support/registry.h"

namespace {

using namespace e2e;

const char kUserFile[] = "My Script.scp";
const char kUninstallCaption[] = "Veltranox 2003 Uninstall";
const char kReportKey[] = "Software\\Tervick\\Veltranox\\report";
const UINT kKilledExitCode = 0xFA17;
const DWORD kRunTimeoutMs = 60000;
// The step codes of the setup program's notices.
const std::set<std::string> kStepCodes = {"1A", "2",  "3",  "4",  "5",  "10", "11", "12", "13",
                                          "14", "15", "16", "22", "27", "28", "34", "37", "38", "39",
                                          "43", "60", "61", "62", "70", "DC5", "DC6"};

std::string here(const char* name)
{
    return sibling_path(name);
}

// ---------------------------------------------------------------------------
// The code map: which function an address of the program lies in, and
// whether that is the program's own code or the C runtime's.

class CodeMap {
public:
    bool load(const std::string& path)
    {
        std::string text = read_file(path);
        size_t at = 0;
        while (at < text.size()) {
            size_t end = text.find('\n', at);
            std::string line = text.substr(at, end - at);
            at = end == std::string::npos ? text.size() : end + 1;
            char* rest = nullptr;
            Function f;
            f.start = strtoul(line.c_str(), &rest, 16);
            if (rest == nullptr || *rest != '\t')
                continue;
            f.own = rest[1] == '1';
            f.name = short_name(rest + 3);
            functions_.push_back(f);
        }
        std::sort(functions_.begin(), functions_.end(),
                  [](const Function& a, const Function& b) { return a.start < b.start; });
        return !functions_.empty();
    }
    const char* name(DWORD offset) const
    {
        const Function* f = find(offset);
        return f != nullptr ? f->name.c_str() : "?";
    }
    bool own(DWORD offset) const
    {
        const Function* f = find(offset);
        return f != nullptr && f->own;
    }

private:
    struct Function {
        DWORD start;
        bool own;
        std::string name;
    };
    const Function* find(DWORD offset) const
    {
        auto after = std::upper_bound(functions_.begin(), functions_.end(), offset,
                                      [](DWORD o, const Function& f) { return o < f.start; });
        return after == functions_.begin() ? nullptr : &*(after - 1);
    }
    // "(anonymous namespace)::f(char const*)" -> "f"
    static std::string short_name(std::string name)
    {
        const std::string anonymous = "(anonymous namespace)::";
        for (size_t at; (at = name.find(anonymous)) != std::string::npos;)
            name.erase(at, anonymous.size());
        size_t paren = name.find('(');
        if (paren != std::string::npos && paren != 0)
            name.erase(paren);
        return name;
    }
    std::vector<Function> functions_;
};

CodeMap g_setupMap, g_uninstallerMap;

// ---------------------------------------------------------------------------
// A call site, as the injector names it.

struct Site {
    int generation = 0;
    std::string function;
    std::string chain; // hex offsets, innermost first
    unsigned calls = 0;
    bool failable = true;
    std::string scenario;
};

std::vector<DWORD> offsets(const std::string& chain)
{
    std::vector<DWORD> result;
    const char* at = chain.c_str();
    while (*at != '\0') {
        char* end;
        result.push_back(strtoul(at, &end, 16));
        at = *end == ',' ? end + 1 : end;
    }
    return result;
}

std::string describe_site(const Site& site, const CodeMap& map)
{
    std::string text = site.function + " @ ";
    std::vector<DWORD> chain = offsets(site.chain);
    for (size_t i = 0; i < chain.size(); ++i)
        text += std::string(i ? "<-" : "") + map.name(chain[i]);
    if (site.generation != 0)
        text += " (copy " + std::to_string(site.generation) + ")";
    return text + " [" + site.chain + "]";
}

std::vector<std::string> split(const std::string& line, char separator)
{
    std::vector<std::string> fields;
    size_t at = 0;
    for (;;) {
        size_t end = line.find(separator, at);
        fields.push_back(line.substr(at, end - at));
        if (end == std::string::npos)
            return fields;
        at = end + 1;
    }
}

// ---------------------------------------------------------------------------
// What a run left: the files, links and registry values of an installation.

using State = std::map<std::string, std::string>;

struct RegistryKey {
    HKEY root;
    const char* rootName;
    const char* path;
};
const RegistryKey kKeys[] = {
    {HKEY_CURRENT_USER, "HKCU", kSettingsKey},
    {HKEY_LOCAL_MACHINE, "HKLM", kMachineKey},
    {HKEY_LOCAL_MACHINE, "HKLM", kAppPathsKey},
    {HKEY_LOCAL_MACHINE, "HKLM", kUninstallKey},
};

std::vector<std::string> link_paths()
{
    return {start_menu_link(), desktop_link(), quick_launch_link()};
}

void add_values(const RegistryKey& key, State* state)
{
    HKEY handle;
    if (RegOpenKeyExA(key.root, key.path, 0, KEY_READ, &handle) != ERROR_SUCCESS)
        return;
    for (DWORD index = 0;; ++index) {
        char name[256];
        BYTE data[2048];
        DWORD nameSize = sizeof name, dataSize = sizeof data, type = 0;
        if (RegEnumValueA(handle, index, name, &nameSize, nullptr, &type, data, &dataSize) !=
            ERROR_SUCCESS)
            break;
        // Carried into the machine key by the next run's start-up copy.
        if (key.root == HKEY_LOCAL_MACHINE && std::string(key.path) == kMachineKey &&
            std::string(name) == "Installed")
            continue;
        // The uninstaller's note of the folder it removed: no part of an
        // installation, and kept whether or not a run got to write it.
        if (key.root == HKEY_CURRENT_USER && std::string(name) == "RemovedFrom")
            continue;
        (*state)["reg " + std::string(key.rootName) + "\\" + key.path + " " + name] =
            std::to_string(type) + ":" + std::string((char*)data, dataSize);
    }
    RegCloseKey(handle);
}

State state_of(const std::string& folder)
{
    State state;
    for (const std::string& name : names_in(folder))
        state["file " + folder + "\\" + name] = read_file(folder + "\\" + name);
    for (const char* name : {"vmon03.exe", "vcluins1.exe"}) {
        std::string path = windows_directory() + "\\" + name;
        if (file_exists(path))
            state["file " + path] = read_file(path);
    }
    if (file_exists(temp_folder() + "data.tmp"))
        state["file " + temp_folder() + "data.tmp"] = "";
    for (const std::string& link : link_paths())
        if (file_exists(link))
            state["link " + link] = "";
    for (const RegistryKey& key : kKeys)
        add_values(key, &state);
    return state;
}

std::string replaced(std::string text, const std::string& from, const std::string& to)
{
    for (size_t at = 0; (at = text.find(from, at)) != std::string::npos; at += to.size())
        text.replace(at, from.size(), to);
    return text;
}

// The reference as it would read for an installation into `folder`.
State moved_to(const State& reference, const std::string& folder)
{
    if (folder == kInstallFolder)
        return reference;
    State moved;
    for (const auto& item : reference)
        moved[replaced(item.first, kInstallFolder, folder)] =
            replaced(item.second, kInstallFolder, folder);
    return moved;
}

struct Differences {
    std::vector<std::string> missing, changed, extra;
    bool empty() const { return missing.empty() && changed.empty() && extra.empty(); }
};

Differences compare(const State& expected, const State& actual)
{
    Differences d;
    for (const auto& item : expected) {
        auto found = actual.find(item.first);
        if (found == actual.end())
            d.missing.push_back(item.first);
        else if (found->second != item.second)
            d.changed.push_back(item.first);
    }
    for (const auto& item : actual)
        if (expected.find(item.first) == expected.end())
            d.extra.push_back(item.first);
    return d;
}

bool is_file(const std::string& item)
{
    return item.compare(0, 5, "file ") == 0;
}

std::string name_of(const std::string& item)
{
    return item.substr(item.rfind('\\') + 1);
}

std::string list(const std::vector<std::string>& items, size_t most = 4)
{
    std::string text;
    for (size_t i = 0; i < items.size() && i < most; ++i)
        text += (i ? ", " : "") + name_of(items[i]);
    if (items.size() > most)
        text += " and " + std::to_string(items.size() - most) + " more";
    return text;
}

// ---------------------------------------------------------------------------
// Running a program, under the injector.

struct Run {
    bool started = false, finished = false, crashed = false, acted = false, launched = false;
    DWORD exitCode = 0;
    std::vector<robot::Notice> notices;
    std::vector<int> exitCodes; // of every generation, as the injector saw them
    std::string crash;
    std::string folder;        // the folder the location dialog was answered with
    int licenceShowings = 0;
    std::vector<Site> sites;   // record mode
    bool retried = false;      // once: the failed call was made again
    std::string tampered;      // tamper: "written" or "refused <error>"
};

// A folder the walk may compare and remove: a product folder on a drive,
// never a drive root or a system folder.
bool is_install_folder(const std::string& folder)
{
    const std::string name = "\\Veltranox";
    return folder.size() > 3 + name.size() && folder[1] == ':' && folder[2] == '\\' &&
           folder.compare(folder.size() - name.size(), name.size(), name) == 0;
}

DWORD active_processes(HANDLE job)
{
    JOBOBJECT_BASIC_ACCOUNTING_INFORMATION info = {};
    if (!QueryInformationJobObject(job, JobObjectBasicAccountingInformation, &info, sizeof info,
                                   nullptr))
        return 0;
    return info.ActiveProcesses;
}

// mode: "record", "fail" or "kill"; target as FAULT_TARGET takes it.
Run run_program(const std::string& program, bool setup, const std::string& mode,
                const std::string& target = "", const std::string& tamper = "")
{
    const std::string log = here("fault.log");
    DeleteFileA(log.c_str());
    SetEnvironmentVariableA("FAULT_LOG", log.c_str());
    SetEnvironmentVariableA("FAULT_MODE", mode.c_str());
    SetEnvironmentVariableA("FAULT_TARGET", target.empty() ? nullptr : target.c_str());
    SetEnvironmentVariableA("FAULT_GEN", nullptr);
    SetEnvironmentVariableA("FAULT_TAMPER", tamper.empty() ? nullptr : tamper.c_str());
    SetEnvironmentVariableA("FAULT_MAP", here(setup ? "VeltranoxSetup.map" : "vcluins1.map").c_str());
    HANDLE job = CreateJobObjectA(nullptr, nullptr);
    const std::string dll = here("faultinject.dll");

    WalkPlan plan;
    plan.locationButtons = {IDOK, IDOK, IDOK};
    plan.timeoutMs = kRunTimeoutMs;
    plan.beforeStart = [&](const PROCESS_INFORMATION& process) {
        return AssignProcessToJobObject(job, process.hProcess) &&
               load_into(process.hProcess, dll.c_str());
    };
    if (!setup)
        plan.othersRunning = [&] { return active_processes(job) != 0; };
    WalkRecord record = walk_setup("\"" + program + "\"", plan);

    Run run;
    run.started = record.started;
    run.finished = record.finished;
    run.exitCode = record.exitCode;
    run.notices = record.notices;
    run.licenceShowings = record.licenceShowings;
    // The folder the location dialog was answered with, else the one it
    // showed (a field the program could not fill is read back empty).
    run.folder = kInstallFolder;
    if (!record.locations.empty())
        for (const std::string& folder :
             {record.locations.back().folder, record.locations.back().folderAnswered})
            if (is_install_folder(folder))
                run.folder = folder;
    // What the setup program started is all that is left in the job.
    run.launched = setup && run.finished && active_processes(job) != 0;
    TerminateJobObject(job, 1);
    robot::wait_until([&] { return active_processes(job) == 0; }, 10000);
    CloseHandle(job);
    for (const char* name : {"FAULT_LOG", "FAULT_MODE", "FAULT_TARGET", "FAULT_MAP", "FAULT_TAMPER"})
        SetEnvironmentVariableA(name, nullptr);

    std::string text = read_file(log);
    for (const std::string& line : split(text, '\n')) {
        std::vector<std::string> f = split(line, '\t');
        if (f[0] == "site" && f.size() == 6) {
            Site site;
            site.generation = atoi(f[1].c_str());
            site.function = f[2];
            site.chain = f[3];
            site.calls = strtoul(f[4].c_str(), nullptr, 10);
            site.failable = f[5] == "fail";
            run.sites.push_back(site);
        } else if (f[0] == "acted") {
            run.acted = true;
        } else if (f[0] == "again") {
            run.retried = true;
        } else if (f[0] == "tampered" && f.size() == 4) {
            run.tampered = f[2] == "written" ? f[2] : f[2] + " " + f[3];
        } else if (f[0] == "exit" && f.size() == 3) {
            run.exitCodes.push_back(atoi(f[2].c_str()));
        } else if (f[0] == "crash" && f.size() == 4) {
            run.crashed = true;
            run.crash = "exception " + f[2] + " at " + f[3];
        }
    }
    if (run.exitCode == EXCEPTION_ACCESS_VIOLATION) {
        run.crashed = true;
        run.crash = "exit code c0000005";
    }
    if (key_exists(HKEY_CURRENT_USER, kReportKey)) {
        run.crashed = true;
        run.crash += " (a crash report was recorded)";
    }
    return run;
}

std::string notice_codes(const Run& run)
{
    std::string text;
    for (const robot::Notice& notice : run.notices)
        text += (text.empty() ? "" : ", ") + notice.caption;
    return text.empty() ? "no notice" : text;
}

// ---------------------------------------------------------------------------
// The machine between runs: back to no Veltranox at all.

std::set<std::string> g_folders = {kInstallFolder};

void reset_machine()
{
    for (const std::string& folder : g_folders)
        remove_tree(folder);
    for (const char* name : {"vmon03.exe", "vcluins1.exe"}) {
        std::string path = windows_directory() + "\\" + name;
        SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileA(path.c_str());
    }
    for (const std::string& name : names_in(temp_folder())) {
        std::string path = temp_folder() + name;
        if (name == "data.tmp" || (name.compare(0, 3, "vcu") == 0 && name.size() > 4))
            DeleteFileA(path.c_str());
    }
    for (const std::string& name : private_folders_in(temp_folder()))
        remove_tree(temp_folder() + name);
    for (const std::string& link : link_paths())
        DeleteFileA(link.c_str());
    delete_key_tree(HKEY_CURRENT_USER, "Software\\Tervick");
    for (const RegistryKey& key : kKeys)
        delete_key_tree(key.root, key.path);
    // The uninstaller's copy asks to be deleted at the next start.
    HKEY session;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "System\\CurrentControlSet\\Control\\Session Manager",
                      0, KEY_SET_VALUE, &session) == ERROR_SUCCESS) {
        RegDeleteValueA(session, "PendingFileRenameOperations");
        RegCloseKey(session);
    }
    make_quick_launch_folder();
}

// ---------------------------------------------------------------------------
// Scenarios.

struct Scenario {
    const char* name;
    bool setup;               // the setup program, or the uninstaller
    bool previous;            // over a previous installation
    bool registered;          // uninstall: the entry written, the uninstaller in
                              // the Windows directory (else in the install folder)
    State reference;          // a clean run's end state
    std::string closing;      // uninstall: the clean run's last message
    size_t notices = 0;       // how many the clean run showed
    size_t questions = 0;     // of them, the uninstaller's question
};

std::string setup_program()
{
    return here("VeltranoxSetup.exe");
}

std::string installed_uninstaller(const Scenario& scenario)
{
    return (scenario.registered ? windows_directory() : std::string(kInstallFolder)) +
           "\\vcluins1.exe";
}

bool plain_install()
{
    Run run = run_program(setup_program(), true, "record");
    return run.finished && run.notices.empty() && !run.crashed;
}

// The machine before the scenario's run under the injector.
bool prepare(const Scenario& scenario)
{
    reset_machine();
    if (scenario.setup)
        return !scenario.previous || plain_install();
    // Where no uninstall entry can be written, the uninstaller goes into
    // the install folder, from where it hands over to a copy of itself.
    bool installed;
    if (scenario.registered) {
        installed = plain_install();
    } else {
        ReadOnlyKey uninstall(HKEY_LOCAL_MACHINE,
                              "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall");
        installed = uninstall.status() == 0 && plain_install();
    }
    return installed && file_exists(installed_uninstaller(scenario)) &&
           write_file(std::string(kInstallFolder) + "\\" + kUserFile, "INT. KITCHEN - NIGHT\r\n");
}

std::string program_of(const Scenario& scenario)
{
    return scenario.setup ? setup_program() : installed_uninstaller(scenario);
}

struct Verdict {
    std::vector<std::string> broken, silent;
};

void check_run_ended(const Run& run, Verdict* v)
{
    if (run.crashed)
        v->broken.push_back("crashed: " + run.crash);
    else if (!run.started)
        v->broken.push_back("did not start");
    else if (!run.finished)
        v->broken.push_back("still running after " + std::to_string(kRunTimeoutMs / 1000) + " s");
}

void check_setup_notices(const Run& run, Verdict* v)
{
    for (const robot::Notice& notice : run.notices)
        if (notice.caption.compare(0, 6, "ERROR ") != 0 ||
            kStepCodes.count(notice.caption.substr(6)) == 0)
            v->broken.push_back("unknown notice \"" + notice.caption + "\": " + notice.text);
}

// Whether an extra file holds what the clean run wrote under the same name
// into another folder (with no Windows directory, the companion program
// lands in the install folder).
bool written_elsewhere(const State& reference, const std::string& item)
{
    for (const auto& file : reference)
        if (is_file(file.first) && name_of(file.first) == name_of(item) && file.first != item)
            return read_file(item.substr(5)) == file.second;
    return false;
}

// A setup program's run under a failed call.
void judge_setup_failure(const Scenario& scenario, const Run& run, Verdict* v)
{
    check_run_ended(run, v);
    if (run.finished && run.exitCode != 0 && !run.crashed)
        v->broken.push_back("exit code " + std::to_string(run.exitCode));
    check_setup_notices(run, v);
    // One failure, one notice; only the main program's is told twice: by
    // the step that failed, then by the replacement ("34").
    bool toldTwice = run.notices.size() == 2 && run.notices[1].caption == "ERROR 34";
    if (run.notices.size() > 1 && !toldTwice)
        v->broken.push_back(std::to_string(run.notices.size()) +
                            " notices for one failed call: " + notice_codes(run));
    State expected = moved_to(scenario.reference, run.folder);
    Differences d = compare(expected, state_of(run.folder));
    std::vector<std::string> missingFiles;
    bool uninstallerMoved = false;
    for (const std::string& item : d.extra) {
        std::string name = name_of(item);
        if (name == "image.tmp" || name == "data.tmp")
            v->broken.push_back(name + " left behind");
        else if (name == "vcluins1.exe" && is_file(item))
            uninstallerMoved = true;
        else if (is_file(item) && !written_elsewhere(scenario.reference, item))
            v->broken.push_back("unexpected file " + item.substr(5));
    }
    for (const std::string& item : d.changed)
        if (is_file(item))
            v->broken.push_back("damaged or partial: " + item.substr(5));
    for (const std::string& item : d.missing)
        if (is_file(item) && !(uninstallerMoved && name_of(item) == "vcluins1.exe"))
            missingFiles.push_back(item);
    if (run.notices.empty() && !missingFiles.empty()) {
        // The one early end without a notice that the program is meant to have.
        if (run.finished && run.licenceShowings == 0)
            v->silent.push_back("the licence dialog could not be shown: the setup ends");
        else
            v->broken.push_back(std::to_string(missingFiles.size()) + " file(s) missing, no notice: " +
                                list(missingFiles) + " (the licence shown " +
                                std::to_string(run.licenceShowings) + " time(s))");
    }
    if (!run.notices.empty() || !v->broken.empty())
        return;
    // What the program leaves out on purpose, and says nothing about.
    std::set<std::string> kinds;
    for (const auto* items : {&d.missing, &d.changed, &d.extra})
        for (const std::string& item : *items) {
            if (item.compare(0, 5, "link ") == 0)
                kinds.insert("a shortcut is missing");
            else if (item.find(kAppPathsKey) != std::string::npos)
                kinds.insert("App Paths not recorded");
            else if (item.find(kUninstallKey) != std::string::npos || uninstallerMoved)
                kinds.insert("no uninstall entry: the uninstaller went into the install folder");
            else if (!is_file(item))
                kinds.insert("settings values skipped");
        }
    if (!run.launched && missingFiles.empty())
        kinds.insert("the program was not started");
    v->silent.insert(v->silent.end(), kinds.begin(), kinds.end());
}

bool is_question(const robot::Notice& notice)
{
    return notice.text.compare(0, 52, "Remove Veltranox 2003 and all of its components from") == 0;
}

size_t answers(const Run& run)
{
    size_t count = 0;
    for (const robot::Notice& notice : run.notices)
        count += is_question(notice) ? 0 : 1;
    return count;
}

size_t answers_clean(const Scenario& scenario)
{
    return scenario.notices - scenario.questions;
}

std::string lower(std::string text)
{
    CharLowerBuffA(&text[0], (DWORD)text.size());
    return text;
}

// What the closing message lists as not removed must still be there: each
// line of that list that names a file, a link, a registry key or value, or
// the install folder, which was there before the run.
void check_listed_kept(const Run& run, const State& before, Verdict* v)
{
    if (run.notices.empty())
        return;
    const std::string text = replaced(run.notices.back().text, "\r\n", "\n");
    const std::string heading = "which could not be removed:\n\n";
    size_t at = text.find(heading);
    if (at == std::string::npos)
        return;
    at += heading.size();
    size_t end = text.find("\n\n", at);
    State after = state_of(kInstallFolder);
    for (const std::string& line : split(text.substr(at, end - at), '\n')) {
        std::string item = lower(replaced(replaced(line, "HKEY_LOCAL_MACHINE\\", "HKLM\\"),
                                            "HKEY_CURRENT_USER\\", "HKCU\\"));
        if (item.empty())
            continue;
        bool was = false, is = false;
        for (const State* state : std::initializer_list<const State*>{&before, &after})
            for (const auto& entry : *state) {
                std::string name = lower(entry.first);
                // "file <path>", "link <path>", "reg <key> <value>".
                std::string path = name.substr(name.find(' ') + 1);
                std::string key = path.substr(0, path.rfind(' '));
                bool named = path == item || key == item ||
                             (name.compare(0, 4, "reg ") == 0 &&
                              key + "\\" + path.substr(path.rfind(' ') + 1) == item);
                if (named)
                    (state == &before ? was : is) = true;
            }
        if (item == lower(kInstallFolder)) {
            was = true;
            is = folder_exists(kInstallFolder);
        }
        if (was && !is)
            v->broken.push_back("listed as not removed, but removed: " + line);
    }
}

// An uninstall under a failed call: the uninstaller's own exit codes, its
// own messages, and a success message only for a complete removal.
void judge_uninstall_failure(const Scenario& scenario, const Run& run, const State& before,
                             Verdict* v)
{
    check_run_ended(run, v);
    // A copy that cannot confirm its hand-over asks again, as it must;
    // besides the question, one failure gives one message at most.
    if (answers(run) > answers_clean(scenario))
        v->broken.push_back(std::to_string(answers(run)) + " messages besides the question, a " +
                            "clean run shows " + std::to_string(answers_clean(scenario)));
    else if (run.notices.size() > scenario.notices)
        v->silent.push_back("asked again");
    check_listed_kept(run, before, v);
    for (int code : run.exitCodes)
        if (code < 0 || code > 3)
            v->broken.push_back("exit code " + std::to_string(code));
    for (const robot::Notice& notice : run.notices)
        if (notice.caption != kUninstallCaption && !(notice.caption.empty() && notice.text.empty()))
            v->broken.push_back("unknown message \"" + notice.caption + "\": " + notice.text);
    if (!run.notices.empty() && run.notices.back().text == scenario.closing) {
        Differences d = compare(scenario.reference, state_of(kInstallFolder));
        if (!d.empty())
            v->broken.push_back("says it removed everything, but left " +
                                list(d.extra.empty() ? d.changed : d.extra));
    }
}

// A run that must end exactly as the clean run did.
void judge_as_clean(const Scenario& scenario, const Run& run, const std::string& why, Verdict* v)
{
    check_run_ended(run, v);
    std::vector<std::string> wrong;
    if (scenario.setup) {
        if (!run.notices.empty())
            wrong.push_back("shows " + notice_codes(run));
        if (run.finished && run.exitCode != 0)
            wrong.push_back("exit code " + std::to_string(run.exitCode));
        if (run.finished && !run.launched)
            wrong.push_back("did not start the program");
    } else {
        if (run.notices.size() != scenario.notices ||
            (!run.notices.empty() && run.notices.back().text != scenario.closing))
            wrong.push_back("ends with \"" +
                            (run.notices.empty() ? std::string() : run.notices.back().text) +
                            "\"");
        for (int code : run.exitCodes)
            if (code != 0)
                wrong.push_back("exit code " + std::to_string(code));
    }
    Differences d = compare(moved_to(scenario.reference, run.folder), state_of(run.folder));
    if (!d.missing.empty())
        wrong.push_back("missing " + list(d.missing));
    if (!d.changed.empty())
        wrong.push_back("different " + list(d.changed));
    if (!d.extra.empty())
        wrong.push_back("extra " + list(d.extra));
    for (const std::string& w : wrong)
        v->broken.push_back(why + ": " + w);
}

void check_user_file(Verdict* v)
{
    if (read_file(std::string(kInstallFolder) + "\\" + kUserFile) != "INT. KITCHEN - NIGHT\r\n")
        v->broken.push_back("the user's own file was lost");
}

void check_main_program_kept(const Scenario& scenario, const Run& run, Verdict* v)
{
    std::string item = "file " + std::string(kInstallFolder) + "\\Veltranox.exe";
    std::string path = std::string(kInstallFolder) + "\\Veltranox.exe";
    bool whole = file_exists(path) && read_file(path) == scenario.reference.at(item);
    if (!whole && (run.notices.empty() || !run.finished))
        v->broken.push_back("the previous main program was lost" +
                            std::string(run.finished ? " without a notice" : ""));
}

// The files that the system deletes at its next start.
std::set<std::string> pending_deletions()
{
    std::set<std::string> paths;
    StoredValue pending = read_value(HKEY_LOCAL_MACHINE,
                                     "System\\CurrentControlSet\\Control\\Session Manager",
                                     "PendingFileRenameOperations");
    // Pairs of a name and what it becomes; an empty second one deletes.
    std::vector<std::string> names = split(pending.bytes, '\0');
    for (size_t i = 0; i + 1 < names.size(); i += 2)
        if (names[i + 1].empty())
            paths.insert(lower(names[i].compare(0, 4, "\\??\\") == 0 ? names[i].substr(4)
                                                                     : names[i]));
    return paths;
}

// What is left in the private temp folders that nothing will remove: no
// program of the user can reach it there, and no later run knows its name.
std::vector<std::string> private_leftovers()
{
    std::vector<std::string> left;
    std::set<std::string> pending = pending_deletions();
    for (const std::string& folder : private_folders_in(temp_folder()))
        for (const std::string& name : names_in(temp_folder() + folder)) {
            std::string path = temp_folder() + folder + "\\" + name;
            if (pending.count(lower(path)) == 0)
                left.push_back(path);
        }
    return left;
}

// What the run's last message names, the user was told to delete.
void check_private_temp(const Run& run, Verdict* v)
{
    std::string said = lower(run.notices.empty() ? "" : run.notices.back().text);
    for (const std::string& path : private_leftovers()) {
        if (said.find(lower(path)) != std::string::npos)
            v->silent.push_back("left as the message said: " + path);
        else
            v->broken.push_back("left in a private temp folder: " + path);
    }
}

// What is left and the run's last message does not name.
std::vector<std::string> untold(const Differences& d, const Run& run)
{
    std::string said = run.notices.empty() ? "" : run.notices.back().text;
    std::vector<std::string> left;
    for (const auto* items : {&d.extra, &d.changed})
        for (const std::string& item : *items) {
            // "file <path>"; "link <path>" named by its file name (where the
            // shell could not name the folder, the message cannot either);
            // "reg <root>\<key> <value>" named by its key.
            std::string named = is_file(item)                  ? item.substr(5)
                                : item.compare(0, 5, "link ") == 0 ? name_of(item)
                                                                   : item.substr(9, item.rfind(' ') - 9);
            if (lower(said).find(lower(named)) == std::string::npos)
                left.push_back(item);
        }
    return left;
}

// A plain run afterwards: everything back as after a clean run.
void judge_recovery(const Scenario& scenario, const Run& injected, Verdict* v)
{
    if (scenario.setup) {
        Run run = run_program(setup_program(), true, "record");
        Verdict rerun;
        check_run_ended(run, &rerun);
        if (!run.notices.empty())
            rerun.broken.push_back("shows " + notice_codes(run));
        if (run.finished && !run.launched)
            rerun.broken.push_back("did not start the program");
        g_folders.insert(run.folder);
        Differences d = compare(moved_to(scenario.reference, run.folder), state_of(run.folder));
        if (!d.missing.empty())
            rerun.broken.push_back("missing " + list(d.missing));
        if (!d.changed.empty())
            rerun.broken.push_back("different " + list(d.changed));
        // A value left over is no loss: a "Path" written to the settings
        // key under nolmaccess stays there by design once copied.
        // Nor is the uninstaller that a run without an uninstall entry put
        // into the install folder: the rerun puts one where the entry
        // points, and removing either removes both.
        std::vector<std::string> extraFiles;
        for (const std::string& item : d.extra) {
            if (is_file(item) && written_elsewhere(scenario.reference, item))
                v->silent.push_back("the earlier run's " + name_of(item) +
                                    " stays in the install folder");
            else if (item.compare(0, 4, "reg ") != 0)
                extraFiles.push_back(item);
        }
        if (!extraFiles.empty())
            rerun.broken.push_back("extra " + list(extraFiles));
        for (const std::string& b : rerun.broken)
            v->broken.push_back("plain rerun: " + b);
        return;
    }
    Differences d = compare(scenario.reference, state_of(kInstallFolder));
    if (d.empty())
        return;
    if (!file_exists(installed_uninstaller(scenario))) {
        if (!untold(d, injected).empty())
            v->broken.push_back("no uninstaller left to run again, and " +
                                list(untold(d, injected)) + " remain");
        return;
    }
    Run run = run_program(installed_uninstaller(scenario), false, "record");
    Verdict rerun;
    check_run_ended(run, &rerun);
    d = compare(scenario.reference, state_of(kInstallFolder));
    // A file the interrupted run told the user to delete himself may stay
    // (with the installation's record gone, nothing else knows it).
    if (!untold(d, injected).empty())
        rerun.broken.push_back("left " + list(untold(d, injected)));
    else if (!d.empty())
        v->silent.push_back("left as the message said: " + list(d.extra));
    for (const std::string& b : rerun.broken)
        v->broken.push_back("plain rerun: " + b);
}

// ---------------------------------------------------------------------------

struct Options {
    bool subset = false, list = false;
    std::string scenario, site;
};

// The subset that `make test` runs, the sites that write, move or delete
// files and registry values or start a process: in the first installation
// each failed at its first call; over a previous installation each file
// writer ended at (the main program must survive); in the uninstall each
// file, registry and process site failed and ended at. The full walk adds
// the last calls, the ends in the first installation, the failures over a
// previous one and every other function (reads, lookups, windows, the
// shell, COM).
bool in_subset(const Scenario& scenario, const Site& site, const std::string& mode, bool last)
{
    static const std::set<std::string> files = {
        "CreateFileA", "WriteFile", "LZInit",           "LZCopy",    "MoveFileExA",   "MoveFileA",
        "DeleteFileA", "CopyFileA", "CreateDirectoryA", "RemoveDirectoryA", "CreateProcessA",
        "SetEndOfFile", "SetFileInformationByHandle"};
    static const std::set<std::string> registry = {"RegCreateKeyExA", "RegSetValueExA",
                                                   "RegDeleteKeyA", "RegDeleteValueA"};
    bool file = files.count(site.function) != 0, value = registry.count(site.function) != 0;
    if (last || !(file || value))
        return false;
    // A brief hold: where the setup program moves or deletes by name.
    if (mode == "once")
        return scenario.setup && !scenario.previous && site.function != "CreateFileA";
    if (mode.compare(0, 6, "tamper") == 0)
        return true;
    if (!scenario.setup)
        return file || value;
    if (scenario.previous)
        return mode == "kill" && file;
    return mode == "fail";
}

int g_runs = 0, g_held = 0, g_broken = 0;

// The calls by file name that a virus scanner's brief hold can fail (on a
// handle the program holds, a scanner can do nothing).
const std::set<std::string> kOnceFunctions = {"CreateFileA", "DeleteFileA", "MoveFileExA",
                                              "MoveFileA",   "CopyFileA",   "RemoveDirectoryA"};

// A scanner looks at each file the setup program writes, and holds it for
// a moment: a move or delete of one by name must outlast that.
bool must_outlast_a_hold(const Scenario& scenario, const Site& site)
{
    return scenario.setup && (site.function == "MoveFileExA" || site.function == "MoveFileA" ||
                              site.function == "DeleteFileA");
}

// Where another program of the user writes into a file the program holds
// or is about to use, at the program's own call: "data.tmp" right after it
// is made, and the uninstaller's copy right before it is opened to be
// checked (nobody holds it yet: the copy must then not be started) and
// right before it is started (it is held: the write must be refused).
struct Tampering {
    const char* mode = nullptr;
    bool mustRefuse = false;
};

Tampering tampering_at(const Scenario& scenario, const Site& site, const CodeMap& map)
{
    Tampering t;
    std::vector<DWORD> chain = offsets(site.chain);
    std::string innermost = chain.empty() ? "" : map.name(chain[0]);
    // "data.tmp" is made by create_data_file, which the compiler may fold
    // into compressed_install: it is the only file that one opens itself.
    if (scenario.setup && !scenario.previous && site.function == "CreateFileA" &&
        (innermost == "create_data_file" || innermost == "compressed_install"))
        t = {"tamper-after", true};
    else if (!scenario.setup && !scenario.registered && site.generation == 0 &&
             site.function == "CreateProcessA")
        t = {"tamper-before", true};
    else if (!scenario.setup && !scenario.registered && site.generation == 0 &&
             site.function == "CreateFileA" && innermost == "hand_over_to_copy")
        t = {"tamper-before", false};
    return t;
}

std::string other_program()
{
    return windows_directory() + "\\system32\\hostname.exe";
}

void judge_tampering(const Scenario& scenario, const Tampering& t, const Run& run, Verdict* v)
{
    if (t.mustRefuse) {
        if (run.tampered.compare(0, 7, "refused") != 0)
            v->broken.push_back("another program could write into the file it holds (" +
                                (run.tampered.empty() ? std::string("not tried") : run.tampered) +
                                ")");
        judge_as_clean(scenario, run, "written over while held", v);
        return;
    }
    // Written over before its check, the copy is not started: the removal
    // runs in the uninstaller that the user started.
    check_run_ended(run, v);
    std::string said = run.notices.empty() ? "" : run.notices.back().text;
    if (said.compare(0, 26, "Veltranox 2003 was removed") != 0 ||
        file_exists(std::string(kInstallFolder) + "\\Veltranox.exe"))
        v->broken.push_back("the copy another program wrote over was started: ends with \"" +
                            said + "\"");
}

void walk_scenario(Scenario& scenario, const Options& options)
{
    const CodeMap& map = scenario.setup ? g_setupMap : g_uninstallerMap;
    // The clean run: the reference, and the sites it reaches.
    if (!prepare(scenario)) {
        printf("%s: cannot prepare the scenario\n", scenario.name);
        ++g_broken;
        return;
    }
    Run clean = run_program(program_of(scenario), scenario.setup, "record");
    scenario.reference = state_of(kInstallFolder);
    if (!clean.notices.empty())
        scenario.closing = clean.notices.back().text;
    scenario.notices = clean.notices.size();
    scenario.questions = clean.notices.size() - answers(clean);
    std::vector<Site> sites;
    for (Site& site : clean.sites) {
        std::vector<DWORD> chain = offsets(site.chain);
        // Calls of the C runtime's start-up and exit are not the program's.
        if (!chain.empty() && map.own(chain[0])) {
            site.scenario = scenario.name;
            sites.push_back(site);
        }
    }
    std::sort(sites.begin(), sites.end(), [](const Site& a, const Site& b) {
        return std::make_pair(a.generation, a.chain + a.function) <
               std::make_pair(b.generation, b.chain + b.function);
    });
    unsigned calls = 0;
    for (const Site& site : sites)
        calls += site.calls;
    printf("%s: %u call sites, %u calls, clean run: %s\n", scenario.name, (unsigned)sites.size(),
           calls, notice_codes(clean).c_str());
    fflush(stdout);
    if (sites.empty()) {
        printf("%s: BROKEN: the clean run reached no call site (%s)\n", scenario.name,
               clean.finished ? "it ended" : "still running");
        ++g_broken;
        return;
    }

    for (const Site& site : sites) {
        std::string where = describe_site(site, map);
        if (!options.site.empty() && where.find(options.site) == std::string::npos)
            continue;
        if (options.list) {
            printf("%s\t%s\t%u calls\t%s\n", scenario.name, where.c_str(), site.calls,
                   site.failable ? "fail, kill" : "kill");
            continue;
        }
        struct Plan {
            const char* mode;
            unsigned nth;
            bool last;
        };
        std::vector<Plan> plans;
        if (site.failable) {
            plans.push_back({"fail", 1, false});
            if (site.calls > 1)
                plans.push_back({"fail", site.calls, true});
        }
        plans.push_back({"kill", 1, false});
        if (site.failable && kOnceFunctions.count(site.function) != 0)
            plans.push_back({"once", 1, false});
        Tampering tampering = tampering_at(scenario, site, map);
        if (tampering.mode != nullptr)
            plans.push_back({tampering.mode, 1, false});
        for (const Plan& plan : plans) {
            if (options.subset && !in_subset(scenario, site, plan.mode, plan.last))
                continue;
            if (!prepare(scenario)) {
                printf("%s: cannot prepare the scenario\n", scenario.name);
                ++g_runs;
                ++g_broken;
                continue;
            }
            char target[256];
            sprintf(target, "%d %s %s %u %s", site.generation, site.function.c_str(),
                    site.chain.c_str(), plan.nth, plan.last ? "last" : "first");
            State before = state_of(kInstallFolder);
            const std::string mode = plan.mode;
            Run run = run_program(program_of(scenario), scenario.setup, mode, target,
                                  mode.compare(0, 6, "tamper") == 0 ? other_program() : "");
            g_folders.insert(run.folder);
            Verdict v;
            bool kill = mode == "kill";
            if (!run.acted)
                v.silent.push_back("not reached");
            if (run.retried)
                v.silent.push_back("tried again");
            if (mode.compare(0, 6, "tamper") == 0) {
                judge_tampering(scenario, tampering, run, &v);
            } else if (mode == "once" && run.acted &&
                       (run.retried || must_outlast_a_hold(scenario, site))) {
                judge_as_clean(scenario, run,
                               run.retried ? "tried again after a brief hold"
                                           : "a brief hold of its own file",
                               &v);
            } else if (kill) {
                if (scenario.previous)
                    check_main_program_kept(scenario, run, &v);
                for (const std::string& path : private_leftovers())
                    v.silent.push_back("ended: " + name_of(path) + " stays in a private temp folder");
            } else if (scenario.setup) {
                judge_setup_failure(scenario, run, &v);
                if (scenario.previous)
                    check_main_program_kept(scenario, run, &v);
            } else {
                judge_uninstall_failure(scenario, run, before, &v);
            }
            if (!kill)
                check_private_temp(run, &v);
            if (!scenario.setup)
                check_user_file(&v);
            if (v.broken.empty() || run.crashed) {
                // A crash is not run again: it is broken as it stands.
                if (!run.crashed)
                    judge_recovery(scenario, run, &v);
                if (!scenario.setup)
                    check_user_file(&v);
            }
            ++g_runs;
            bool broken = !v.broken.empty();
            broken ? ++g_broken : ++g_held;
            std::string line = std::string(scenario.name) + "\t" + where + "\t" + plan.mode + " #" +
                               std::to_string(plan.nth) + "/" + std::to_string(site.calls) + "\t" +
                               (broken ? "BROKEN" : "held") + "\t" + notice_codes(run);
            for (const std::string& s : v.silent)
                line += "\tsilent: " + s;
            for (const std::string& b : v.broken)
                line += "\tbroken: " + b;
            printf("%s\n", line.c_str());
            fflush(stdout);
        }
    }
}

} // namespace

int main(int argc, char** argv)
{
    apply_test_environment();
    Options options;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        if (a == "--subset")
            options.subset = true;
        else if (a == "--list")
            options.list = true;
        else if (a == "--scenario" && i + 1 < argc)
            options.scenario = argv[++i];
        else if (a == "--site" && i + 1 < argc)
            options.site = argv[++i];
        else {
            fprintf(stderr, "usage: fault-walk.exe [--subset] [--list] [--scenario NAME] "
                            "[--site TEXT]\n");
            return 2;
        }
    }
    if (!g_setupMap.load(here("VeltranoxSetup.map")) || !g_uninstallerMap.load(here("vcluins1.map"))) {
        fprintf(stderr, "fault-walk: the code maps are missing\n");
        return 2;
    }
    Scenario scenarios[] = {
        {"first", true, false, false, {}, ""},
        {"over", true, true, false, {}, ""},
        {"uninstall", false, false, false, {}, ""},
        {"uninstall-registered", false, false, true, {}, ""},
    };
    DWORD start = GetTickCount();
    for (Scenario& scenario : scenarios)
        if (options.scenario.empty() || options.scenario == scenario.name)
            walk_scenario(scenario, options);
    reset_machine();
    printf("%d runs: %d held, %d broken (%lu s)\n", g_runs, g_held, g_broken,
           (GetTickCount() - start) / 1000);
    return g_broken == 0 ? 0 : 1;
}
