// Extraction benchmark: installs the release payload (entries 1 to 38, as
// the setup program does after the licence) into a fresh folder, and copies
// the same expanded files with a plain read/write loop (the floor). Prints
// both times, the time the installation spent in Sleep (timed through its
// import of Sleep, so oversleeping counts as sleep), the share of LZ32's
// expansion, and the ratio of (installation - sleeps) to the floor. Rounds
// alternate the two; medians are reported. Also the cost of the checksum
// check of every payload resource (the whole lookup, and the CRC-32 alone)
// beside a plain memcpy of the same bytes.
//
// usage: bench_extract [ROUNDS] [WORK_FOLDER]
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <string>
#include <vector>

#include "payload/catalogue.h"
#include "common/crc32.h"
#include "payload/extract.h"
#include "payload/replace.h"
#include "payload/resource.h"
#include "common/path.h"
#include "setup/state.h"
#include "tests/support/benchutil.h"

namespace {

double now_seconds()
{
    static LARGE_INTEGER frequency;
    if (frequency.QuadPart == 0)
        QueryPerformanceFrequency(&frequency);
    LARGE_INTEGER counter;
    QueryPerformanceCounter(&counter);
    return (double)counter.QuadPart / (double)frequency.QuadPart;
}

// Time spent in Sleep by the code under test: the import of Sleep in this
// program is pointed at a wrapper that times the real call.
double g_slept = 0;
VOID(WINAPI* g_realSleep)(DWORD) = nullptr;

VOID WINAPI timed_sleep(DWORD milliseconds)
{
    double start = now_seconds();
    g_realSleep(milliseconds);
    g_slept += now_seconds() - start;
}

bool time_sleeps()
{
    BYTE* base = reinterpret_cast<BYTE*>(GetModuleHandleA(nullptr));
    IMAGE_NT_HEADERS* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(
        base + reinterpret_cast<IMAGE_DOS_HEADER*>(base)->e_lfanew);
    IMAGE_DATA_DIRECTORY& directory = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    FARPROC real = GetProcAddress(GetModuleHandleA("kernel32.dll"), "Sleep");
    for (IMAGE_IMPORT_DESCRIPTOR* import =
             reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + directory.VirtualAddress);
         import->Name != 0; ++import) {
        for (IMAGE_THUNK_DATA* thunk = reinterpret_cast<IMAGE_THUNK_DATA*>(base + import->FirstThunk);
             thunk->u1.Function != 0; ++thunk) {
            if (reinterpret_cast<FARPROC>(thunk->u1.Function) != real)
                continue;
            DWORD old;
            VirtualProtect(&thunk->u1.Function, sizeof thunk->u1.Function, PAGE_READWRITE, &old);
            g_realSleep = reinterpret_cast<VOID(WINAPI*)(DWORD)>(real);
            thunk->u1.Function = reinterpret_cast<DWORD_PTR>(&timed_sleep);
            VirtualProtect(&thunk->u1.Function, sizeof thunk->u1.Function, old, &old);
            return true;
        }
    }
    return false;
}

std::string fresh(const std::string& path)
{
    remove_tree(path);
    CreateDirectoryA(path.c_str(), nullptr);
    return path;
}

// The installation as the setup program runs it: main program replacement,
// then entries 2 to 37 and the companion program.
double install(const std::string& folder, const std::string& windows, const std::string& temp)
{
    lstrcpyA(g_setup.installFolder, folder.c_str());
    lstrcpyA(g_setup.windowsDirectory, windows.c_str());
    lstrcpyA(g_setup.tempFolder, (temp + "\\").c_str());
    path_join(g_setup.installFolder, "Veltranox.exe", g_setup.mainProgramPath);
    g_slept = 0;
    double start = now_seconds();
    int result = main_program_replacement();
    install_payload_files();
    double spent = now_seconds() - start;
    if (result != kReplaced) {
        fprintf(stderr, "main program replacement gave %d\n", result);
        exit(1);
    }
    return spent;
}

bool copy_plain(const std::string& from, const std::string& to, std::vector<char>& buffer)
{
    HANDLE in = CreateFileA(from.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                            FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (in == INVALID_HANDLE_VALUE)
        return false;
    HANDLE out = CreateFileA(to.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                             FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    bool ok = out != INVALID_HANDLE_VALUE;
    while (ok) {
        DWORD got = 0, written = 0;
        if (!ReadFile(in, buffer.data(), (DWORD)buffer.size(), &got, nullptr)) {
            ok = false;
            break;
        }
        if (got == 0)
            break;
        ok = WriteFile(out, buffer.data(), got, &written, nullptr) && written == got;
    }
    if (out != INVALID_HANDLE_VALUE)
        CloseHandle(out);
    CloseHandle(in);
    return ok;
}

// The floor: the same 38 expanded files copied from where the installation
// put them, with a 64 KB read/write loop.
double copy_floor(const std::string& folder, const std::string& windows, const std::string& to)
{
    std::vector<char> buffer(65536);
    double start = now_seconds();
    for (int i = kMainProgramEntry; i <= kCompanionEntry; ++i) {
        const char* name = kPayloadCatalogue[i].fileName;
        std::string from = (i == kCompanionEntry ? windows : folder) + "\\" + name;
        if (!copy_plain(from, to + "\\" + name, buffer)) {
            fprintf(stderr, "floor copy of %s failed\n", name);
            exit(1);
        }
    }
    return now_seconds() - start;
}

// The share of LZ32 in the installation: every compressed entry written to
// data.tmp (not timed) and expanded again with file_expansion (timed).
double expansion_only(const std::string& temp, const std::string& to)
{
    double spent = 0;
    for (int i = kMainProgramEntry; i <= kCompanionEntry; ++i) {
        const PayloadEntry& entry = kPayloadCatalogue[i];
        if (entry.form != PayloadForm::Compressed)
            continue;
        if (!resource_write(entry.id, temp.c_str(), "data.tmp")) {
            fprintf(stderr, "data.tmp for %s could not be written\n", entry.fileName);
            exit(1);
        }
        double start = now_seconds();
        int expanded = file_expansion(temp.c_str(), "data.tmp", to.c_str(), entry.fileName);
        spent += now_seconds() - start;
        if (!expanded) {
            fprintf(stderr, "%s did not expand\n", entry.fileName);
            exit(1);
        }
        delete_in_folder(temp.c_str(), "data.tmp");
    }
    return spent;
}

// The checksum check: the lookup of all 39 payload resources (each checked
// against its recorded CRC-32), the CRC-32 of their bytes alone, and a
// memcpy of the same bytes for scale.
struct CheckTimes {
    double lookup = 0, crc = 0, copy = 0;
    unsigned long long bytes = 0;
};

CheckTimes check_payload()
{
    CheckTimes times;
    std::vector<char> scratch;
    for (const PayloadEntry& entry : kPayloadCatalogue) {
        DWORD size = 0;
        double start = now_seconds();
        HGLOBAL resource = find_payload_resource(entry.id, &size);
        times.lookup += now_seconds() - start;
        const void* bytes = resource != nullptr ? LockResource(resource) : nullptr;
        if (bytes == nullptr) {
            fprintf(stderr, "payload %u failed its lookup\n", entry.id);
            exit(1);
        }
        start = now_seconds();
        volatile uint32_t crc = crc32_update(0, bytes, size);
        (void)crc;
        times.crc += now_seconds() - start;
        scratch.resize(size);
        start = now_seconds();
        memcpy(scratch.data(), bytes, size);
        times.copy += now_seconds() - start;
        times.bytes += size;
        FreeResource(resource);
    }
    return times;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

} // namespace

int main(int argc, char** argv)
{
    int rounds = argc > 1 ? atoi(argv[1]) : 5;
    std::string root = argc > 2 ? argv[2] : "C:\\bench-extract";
    if (rounds < 1)
        rounds = 1;
    if (!time_sleeps()) {
        fprintf(stderr, "Sleep is not imported where expected\n");
        return 1;
    }
    CreateDirectoryA(root.c_str(), nullptr);
    std::string temp = fresh(root + "\\temp");

    std::vector<double> installs, floors, slept, working, expanding, ratios;
    std::vector<double> lookups, crcs, copies;
    unsigned long long checkedBytes = 0;
    unsigned long long bytes = 0;
    for (int round = 0; round < rounds; ++round) {
        std::string folder = fresh(root + "\\install");
        std::string windows = fresh(root + "\\windows");
        std::string copy = fresh(root + "\\copy");
        std::string expanded = fresh(root + "\\expanded");
        installs.push_back(install(folder, windows, temp));
        floors.push_back(copy_floor(folder, windows, copy));
        slept.push_back(g_slept);
        expanding.push_back(expansion_only(temp, expanded));
        working.push_back(installs.back() - slept.back());
        ratios.push_back(working.back() / floors.back());
        CheckTimes check = check_payload();
        lookups.push_back(check.lookup);
        crcs.push_back(check.crc);
        copies.push_back(check.copy);
        checkedBytes = check.bytes;
        if (round == 0) {
            for (int i = kMainProgramEntry; i <= kCompanionEntry; ++i) {
                std::string path = (i == kCompanionEntry ? windows : folder) + "\\" +
                                   kPayloadCatalogue[i].fileName;
                WIN32_FILE_ATTRIBUTE_DATA data;
                if (GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data))
                    bytes += data.nFileSizeLow;
            }
        }
    }
    double work = median(working), floor = median(floors), expand = median(expanding);
    printf("extraction benchmark: 38 files, %llu bytes, %d rounds (medians)\n", bytes, rounds);
    printf("  installation (entries 1-38)        %8.1f ms\n", median(installs) * 1000);
    printf("  of which in Sleep                  %8.1f ms (nominal %d ms)\n",
           median(slept) * 1000, kDeleteAttempts * kDeleteRetryDelay + kImageOpenDelay);
    printf("  installation minus sleeps          %8.1f ms\n", work * 1000);
    printf("    of which LZ32 expansion          %8.1f ms (file_expansion of the compressed entries)\n",
           expand * 1000);
    printf("  floor (plain copy, 64 KB loop)     %8.1f ms\n", floor * 1000);
    printf("  ratio (minus sleeps / floor)       %8.2f    goal <= 1.50\n", median(ratios));
    printf("  ratio without the LZ32 expansion   %8.2f\n", (work - expand) / floor);
    printf("checksum check: 39 resources, %llu bytes\n", checkedBytes);
    printf("  lookup of all 39 (checks included) %8.2f ms  goal: a few ms\n",
           median(lookups) * 1000);
    printf("  CRC-32 of the same bytes alone     %8.2f ms (%.0f MB/s)\n", median(crcs) * 1000,
           checkedBytes / median(crcs) / 1e6);
    printf("  memcpy of the same bytes           %8.2f ms\n", median(copies) * 1000);
    for (int round = 0; round < rounds; ++round)
        printf("  round %d: install %.1f ms, sleeps %.1f ms, floor %.1f ms, LZ32 %.1f ms\n",
               round + 1, installs[round] * 1000, slept[round] * 1000, floors[round] * 1000,
               expanding[round] * 1000);
    remove_tree(root);
    return 0;
}
