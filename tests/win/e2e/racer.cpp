// Another program of the same user, racing the setup program for its
// temporary file: over and over, it renames a file of its own over
// "data.tmp" in the temp folder, writes into "data.tmp", and deletes and
// recreates it, each time with an SZDD container of its own that expands to
// "RACER!!!". An elevated setup program keeps "data.tmp" in a folder of its
// own inside the temp folder, which only administrators may write on
// Windows; Wine does not enforce that, so the racer goes for the "data.tmp"
// in such a folder too (variants named "private-..."), as a program could
// that is allowed to write there. It sets the ready event after its first
// round and runs until the stop event is set, then writes how each attempt
// ended to the log: "variant error count" lines, error 0 for an attempt that
// went through.
//
// usage: racer.exe STOP-EVENT READY-EVENT LOG
#include <windows.h>

#include <stdio.h>

#include <map>
#include <string>
#include <utility>

namespace {

const char kContainer[] = "SZDD\x88\xF0\x27\x33"
                          "A\0"
                          "\x08\0\0\0"
                          "\xFF"
                          "RACER!!!";

bool write_container(HANDLE file)
{
    DWORD written = 0;
    return WriteFile(file, kContainer, sizeof kContainer - 1, &written, nullptr) &&
           written == sizeof kContainer - 1;
}

DWORD outcome(bool ok)
{
    return ok ? ERROR_SUCCESS : GetLastError();
}

typedef std::map<std::pair<std::string, DWORD>, unsigned> Tally;

// One round against data: renamed over, written into, deleted and made anew.
void race(const std::string& source, const std::string& mine, const std::string& data,
          const std::string& prefix, Tally& tally)
{
    bool ok = CopyFileA(source.c_str(), mine.c_str(), FALSE) &&
              MoveFileExA(mine.c_str(), data.c_str(), MOVEFILE_REPLACE_EXISTING);
    ++tally[{prefix + "rename", outcome(ok)}];

    HANDLE file = CreateFileA(data.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, 0, nullptr);
    ok = file != INVALID_HANDLE_VALUE;
    DWORD error = outcome(ok);
    if (ok) {
        ok = write_container(file);
        error = outcome(ok);
        CloseHandle(file);
    }
    ++tally[{prefix + "write", error}];

    ok = DeleteFileA(data.c_str());
    error = outcome(ok);
    if (ok) {
        file = CreateFileA(data.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
        ok = file != INVALID_HANDLE_VALUE;
        error = outcome(ok);
        if (ok) {
            ok = write_container(file);
            error = outcome(ok);
            CloseHandle(file);
        }
    }
    ++tally[{prefix + "recreate", error}];
}

// A folder the setup program made for itself in the temp folder, with a
// trailing backslash; empty when there is none.
std::string private_folder(const std::string& temp)
{
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((temp + "vlx*.tmp").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return "";
    std::string folder;
    do {
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            folder = temp + found.cFileName + "\\";
    } while (folder.empty() && FindNextFileA(search, &found));
    FindClose(search);
    return folder;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 4)
        return 2;
    HANDLE stop = OpenEventA(SYNCHRONIZE, FALSE, argv[1]);
    HANDLE ready = OpenEventA(EVENT_MODIFY_STATE, FALSE, argv[2]);
    if (stop == nullptr || ready == nullptr)
        return 3;
    char temp[MAX_PATH];
    if (GetTempPathA(MAX_PATH, temp) == 0)
        return 4;
    const std::string data = std::string(temp) + "data.tmp";
    const std::string mine = std::string(temp) + "data.mine";
    const std::string source = std::string(temp) + "racer.src";
    HANDLE file = CreateFileA(source.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE || !write_container(file))
        return 5;
    CloseHandle(file);

    std::map<std::pair<std::string, DWORD>, unsigned> tally;
    while (WaitForSingleObject(stop, 0) == WAIT_TIMEOUT) {
        race(source, mine, data, "", tally);
        std::string folder = private_folder(temp);
        if (!folder.empty())
            race(source, mine, folder + "data.tmp", "private-", tally);
        SetEvent(ready);
    }
    DeleteFileA(mine.c_str());
    DeleteFileA(source.c_str());
    FILE* log = fopen(argv[3], "w");
    if (log == nullptr)
        return 6;
    for (const auto& entry : tally)
        fprintf(log, "%s %lu %u\n", entry.first.first.c_str(), entry.first.second, entry.second);
    return fclose(log) == 0 ? 0 : 6;
}
