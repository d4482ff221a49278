// The payload a built setup program carries, read from the program file
// itself: exactly the catalogue's "FILE" resources in language 1033, raw
// entries byte for byte their files, compressed entries SZDD containers
// that Wine's LZ32 expands to their files. Also a setup program built by
// add_setup_program with its payload changed.
#include <gtest/gtest.h>
#include <windows.h>
#include <lzexpand.h>

#include <algorithm>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "payload/catalogue.h"
#include "tests/support/benchutil.h"
#include "tests/support/files.h"

namespace {

// Where an entry's bytes came from (payload_sources.txt of the build).
struct Source {
    std::string form;   // RAW, COMPRESSED or VERBATIM
    std::string path;   // the original file, as a Windows path
};

std::string windows_path(const std::string& unixPath)
{
    std::string path = "Z:" + unixPath;
    std::replace(path.begin(), path.end(), '/', '\\');
    return path;
}

// "id form stored<TAB>source" a line.
std::map<unsigned, Source> read_sources(const char* unixPath)
{
    std::map<unsigned, Source> sources;
    std::string text = read_file(windows_path(unixPath));
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        std::string line = text.substr(start, end - start);
        start = end == std::string::npos ? text.size() : end + 1;
        size_t space = line.find(' '), space2 = line.find(' ', space + 1);
        size_t tab = line.find('\t');
        if (space == std::string::npos || space2 == std::string::npos || tab == std::string::npos)
            continue;
        Source source;
        source.form = line.substr(space + 1, space2 - space - 1);
        source.path = windows_path(line.substr(tab + 1));
        sources[unsigned(std::stoul(line.substr(0, space)))] = source;
    }
    return sources;
}

BOOL CALLBACK collect_name(HMODULE, LPCSTR, LPSTR name, LONG_PTR list)
{
    auto* names = reinterpret_cast<std::vector<std::string>*>(list);
    names->push_back(IS_INTRESOURCE(name) ? std::to_string(LOWORD(ULONG_PTR(name)))
                                          : std::string("\"") + name + "\"");
    return TRUE;
}

BOOL CALLBACK collect_language(HMODULE, LPCSTR, LPCSTR, WORD language, LONG_PTR list)
{
    reinterpret_cast<std::vector<WORD>*>(list)->push_back(language);
    return TRUE;
}

// Expands an SZDD container the way the setup program does: the container
// in a file, LZInit on its CreateFileA handle, LZCopy into a CreateFileA
// handle. Returns LZCopy's result (the expanded length, or an LZERROR_*).
LONG lz32_expand(const std::string& container, const std::string& workFile,
                 std::string* expanded)
{
    if (!write_file(workFile + ".szdd", container))
        return -1000;
    HANDLE source = CreateFileA((workFile + ".szdd").c_str(), GENERIC_READ, 0, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    HANDLE target = CreateFileA(workFile.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (source == INVALID_HANDLE_VALUE || target == INVALID_HANDLE_VALUE)
        return -1001;
    INT lz = LZInit(INT(INT_PTR(source)));
    if (lz < 0) {
        CloseHandle(source);
        CloseHandle(target);
        return lz;
    }
    LONG copied = LZCopy(lz, INT(INT_PTR(target)));
    LZClose(lz);           // closes the source handle too
    CloseHandle(target);
    *expanded = read_file(workFile);
    return copied;
}

// The file version of a program, as "a.b.c.d".
std::string file_version(const std::string& path)
{
    DWORD handle = 0;
    DWORD size = GetFileVersionInfoSizeA(path.c_str(), &handle);
    std::vector<char> block(size);
    VS_FIXEDFILEINFO* info = nullptr;
    UINT length = 0;
    if (size == 0 || !GetFileVersionInfoA(path.c_str(), 0, size, block.data()) ||
        !VerQueryValueA(block.data(), "\\", reinterpret_cast<void**>(&info), &length))
        return "none";
    return std::to_string(HIWORD(info->dwFileVersionMS)) + "." +
           std::to_string(LOWORD(info->dwFileVersionMS)) + "." +
           std::to_string(HIWORD(info->dwFileVersionLS)) + "." +
           std::to_string(LOWORD(info->dwFileVersionLS));
}

// A text of the version block's English (US, Unicode) string table, as
// Explorer's Details page shows it; "(none)" when absent.
std::string version_text(const std::string& path, const char* name)
{
    DWORD handle = 0;
    DWORD size = GetFileVersionInfoSizeA(path.c_str(), &handle);
    std::vector<char> block(size);
    char* text = nullptr;
    UINT length = 0;
    std::string query = std::string("\\StringFileInfo\\040904b0\\") + name;
    if (size == 0 || !GetFileVersionInfoA(path.c_str(), 0, size, block.data()) ||
        !VerQueryValueA(block.data(), query.c_str(), reinterpret_cast<void**>(&text), &length) ||
        text == nullptr)
        return "(none)";
    return text;
}

// One setup program file, opened as data.
class CarriedPayload {
public:
    CarriedPayload(const char* exeName, const char* sourcesPath)
        : sources_(read_sources(sourcesPath))
    {
        module_ = LoadLibraryExA(sibling_path(exeName).c_str(), nullptr,
                                 LOAD_LIBRARY_AS_DATAFILE);
    }
    ~CarriedPayload()
    {
        if (module_ != nullptr)
            FreeLibrary(module_);
    }
    HMODULE module() const { return module_; }
    const std::map<unsigned, Source>& sources() const { return sources_; }

    std::vector<std::string> names() const
    {
        std::vector<std::string> names;
        EnumResourceNamesA(module_, "FILE", collect_name, LONG_PTR(&names));
        return names;
    }
    std::vector<WORD> languages(unsigned id) const
    {
        std::vector<WORD> languages;
        EnumResourceLanguagesA(module_, "FILE", MAKEINTRESOURCEA(id), collect_language,
                               LONG_PTR(&languages));
        return languages;
    }
    // The bytes of resource id in language 1033; found says whether it is there.
    std::string bytes(unsigned id, bool* found = nullptr) const
    {
        HRSRC info = FindResourceExA(module_, "FILE", MAKEINTRESOURCEA(id),
                                     MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US));
        if (found != nullptr)
            *found = info != nullptr;
        if (info == nullptr)
            return std::string();
        HGLOBAL loaded = LoadResource(module_, info);
        const char* data = static_cast<const char*>(LockResource(loaded));
        return std::string(data, SizeofResource(module_, info));
    }

private:
    HMODULE module_ = nullptr;
    std::map<unsigned, Source> sources_;
};

std::string work_folder()
{
    CreateDirectoryA("C:\\payload-tests", nullptr);
    return "C:\\payload-tests";
}

uint32_t little_endian(const std::string& bytes, size_t at)
{
    return uint8_t(bytes[at]) | uint8_t(bytes[at + 1]) << 8 | uint8_t(bytes[at + 2]) << 16 |
           uint32_t(uint8_t(bytes[at + 3])) << 24;
}

const char kSzddHeader[] = "SZDD\x88\xF0\x27\x33\x41";   // magic, then mode 'A'

TEST(ReleasePayload, CarriesExactlyTheCatalogueEntriesInLanguage1033)
{
    CarriedPayload setup("VeltranoxSetup.exe", RELEASE_SOURCES);
    ASSERT_NE(setup.module(), nullptr) << GetLastError();
    std::vector<std::string> names = setup.names();
    std::sort(names.begin(), names.end());
    std::vector<std::string> expected;
    for (const PayloadEntry& entry : kPayloadCatalogue)
        expected.push_back(std::to_string(entry.id));
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(names, expected);
    for (const PayloadEntry& entry : kPayloadCatalogue)
        EXPECT_EQ(setup.languages(entry.id), std::vector<WORD>{1033}) << entry.fileName;
}

TEST(ReleasePayload, RawEntriesAreTheirFilesByteForByte)
{
    CarriedPayload setup("VeltranoxSetup.exe", RELEASE_SOURCES);
    ASSERT_NE(setup.module(), nullptr);
    int raw = 0;
    for (const PayloadEntry& entry : kPayloadCatalogue) {
        if (entry.form != PayloadForm::Raw)
            continue;
        ++raw;
        ASSERT_EQ(setup.sources().count(entry.id), 1u) << entry.fileName;
        bool ok = false;
        std::string original = read_file(setup.sources().at(entry.id).path, &ok);
        ASSERT_TRUE(ok) << setup.sources().at(entry.id).path;
        EXPECT_FALSE(original.empty()) << entry.fileName;
        EXPECT_TRUE(setup.bytes(entry.id) == original) << entry.fileName;
    }
    EXPECT_EQ(raw, 27);
}

TEST(ReleasePayload, CompressedEntriesExpandThroughLz32ToTheirFiles)
{
    CarriedPayload setup("VeltranoxSetup.exe", RELEASE_SOURCES);
    ASSERT_NE(setup.module(), nullptr);
    std::string folder = work_folder();
    int compressed = 0;
    for (const PayloadEntry& entry : kPayloadCatalogue) {
        if (entry.form != PayloadForm::Compressed)
            continue;
        ++compressed;
        SCOPED_TRACE(entry.fileName);
        std::string container = setup.bytes(entry.id);
        std::string original = read_file(setup.sources().at(entry.id).path);
        ASSERT_GT(container.size(), 14u);
        EXPECT_EQ(container.substr(0, 9), std::string(kSzddHeader, 9));
        EXPECT_EQ(container[9], '\0');
        EXPECT_EQ(little_endian(container, 10), original.size());

        std::string expanded;
        std::string work = folder + "\\" + std::to_string(entry.id) + ".out";
        EXPECT_EQ(lz32_expand(container, work, &expanded), LONG(original.size()));
        EXPECT_TRUE(expanded == original);
        if (entry.id == kPayloadCatalogue[kMainProgramEntry].id)
            EXPECT_EQ(file_version(work), "1.0.0.1");
    }
    EXPECT_EQ(compressed, 12);
}

// The setup program and the uninstaller it installs say what they are, with
// the main program's maker, product and version, in their fixed and their
// text version information alike.
TEST(ReleasePayload, SetupProgramAndUninstallerCarryTheMainProgramsVersionBlock)
{
    CarriedPayload setup("VeltranoxSetup.exe", RELEASE_SOURCES);
    ASSERT_NE(setup.module(), nullptr);
    std::string folder = work_folder();
    // (Not "uninstaller.exe": Wine would read the version of its own program
    // of that name.)
    std::string programs[3] = {sibling_path("VeltranoxSetup.exe"), folder + "\\Veltranox.exe",
                               folder + "\\vcluins1.exe"};
    std::string expanded;
    ASSERT_GT(lz32_expand(setup.bytes(kPayloadCatalogue[kMainProgramEntry].id), programs[1],
                          &expanded), 0);
    ASSERT_GT(lz32_expand(setup.bytes(kPayloadCatalogue[kUninstallerEntry].id), programs[2],
                          &expanded), 0);

    std::string mainVersion = file_version(programs[1]);
    EXPECT_EQ("1.0.0.1", mainVersion);
    std::set<std::string> descriptions;
    for (const std::string& program : programs) {
        SCOPED_TRACE(program);
        EXPECT_EQ(mainVersion, file_version(program));
        EXPECT_EQ(mainVersion, version_text(program, "FileVersion"));
        EXPECT_EQ(mainVersion, version_text(program, "ProductVersion"));
        EXPECT_EQ("Tervick Software", version_text(program, "CompanyName"));
        EXPECT_EQ("Veltranox 2003", version_text(program, "ProductName"));
        EXPECT_EQ("Copyright \xA9 2003 Tervick Software", version_text(program, "LegalCopyright"));
        descriptions.insert(version_text(program, "FileDescription"));
    }
    EXPECT_EQ(3u, descriptions.size()) << "each program describes itself";
    EXPECT_EQ(0u, descriptions.count("(none)"));
}

TEST(ReleasePayload, LicenceTextHasTheFormTheLicenceDialogChecks)
{
    CarriedPayload setup("VeltranoxSetup.exe", RELEASE_SOURCES);
    ASSERT_NE(setup.module(), nullptr);
    std::string licence = setup.bytes(159);
    EXPECT_EQ(licence.compare(0, 16, "Veltranox 2003\r\n"), 0);
    EXPECT_EQ(licence.find('\0'), std::string::npos);
    for (size_t i = 0; i < licence.size(); ++i) {
        if (licence[i] == '\n')
            EXPECT_TRUE(i > 0 && licence[i - 1] == '\r') << "bare LF at " << i;
        if (licence[i] == '\r')
            EXPECT_TRUE(i + 1 < licence.size() && licence[i + 1] == '\n') << "bare CR at " << i;
    }
    EXPECT_NE(licence.back(), '\n');
    EXPECT_GT(licence.size(), 2000u);
    EXPECT_LT(licence.size(), 4000u);
}

// catalogue_variant_setup: main program version 2.0.0.0, no licence (159),
// tips (163) replaced by another file, QuickRef (170) carried as it stands.
TEST(VariantPayload, CarriesTheReplacementsAndLeavesOutTheExcluded)
{
    CarriedPayload variant("VariantSetup.exe", VARIANT_SOURCES);
    ASSERT_NE(variant.module(), nullptr) << GetLastError();
    EXPECT_EQ(variant.names().size(), size_t(kPayloadEntryCount - 1));
    bool found = true;
    variant.bytes(159, &found);
    EXPECT_FALSE(found);

    std::string folder = work_folder();
    std::string expanded;
    std::string tips = read_file(variant.sources().at(163).path);
    EXPECT_EQ(lz32_expand(variant.bytes(163), folder + "\\tips.out", &expanded),
              LONG(tips.size()));
    EXPECT_TRUE(expanded == tips);
    EXPECT_NE(tips.find("A payload resource of the lookup tests."), std::string::npos);

    EXPECT_EQ(variant.sources().at(170).form, "VERBATIM");
    EXPECT_TRUE(variant.bytes(170) == read_file(variant.sources().at(170).path));

    std::string program = folder + "\\Veltranox-2.exe";
    std::string original = read_file(variant.sources().at(106).path);
    EXPECT_EQ(lz32_expand(variant.bytes(106), program, &expanded), LONG(original.size()));
    EXPECT_EQ(file_version(program), "2.0.0.0");

    // What the variant did not change is what the release carries.
    CarriedPayload release("VeltranoxSetup.exe", RELEASE_SOURCES);
    EXPECT_TRUE(variant.bytes(112) == release.bytes(112));
    EXPECT_TRUE(variant.bytes(117) == release.bytes(117));
}

}  // namespace
