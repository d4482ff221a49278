// The payload catalogue as the program reads it (payload/catalogue.h), and
// the payload sets the build makes from the same list: the resource script,
// the containers and where each entry's file comes from.
#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include <dirent.h>
#include <sys/stat.h>
#include <zlib.h>

#include "common/names.h"
#include "payload/catalogue.h"
#include "szdd.h"

namespace {

std::string read_file(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

const unsigned kRawIds[] = {186, 159, 165, 117};   // besides the .scm and .stp files

bool ends_with(const std::string& text, const std::string& tail)
{
    return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(),
                                                      tail) == 0;
}

// Every entry names a file that is there, with the exact case of its name:
// the three programs the build makes under the names the setup program and
// the uninstaller use for them, every other entry a file of the payload
// folder; and every file of the payload folder is carried, once.
TEST(Catalogue, NamesEachPayloadFileOnceWithItsExactName)
{
    ASSERT_EQ(kPayloadEntryCount, 39);
    EXPECT_STREQ(kPayloadCatalogue[kMainProgramEntry].fileName, MAIN_PROGRAM_NAME);
    EXPECT_STREQ(kPayloadCatalogue[kCompanionEntry].fileName, COMPANION_NAME);
    EXPECT_STREQ(kPayloadCatalogue[kUninstallerEntry].fileName, UNINSTALLER_NAME);

    std::set<std::string> files;
    DIR* folder = opendir(PAYLOAD_FILES);
    ASSERT_NE(folder, nullptr) << PAYLOAD_FILES;
    while (dirent* found = readdir(folder)) {
        std::string name = found->d_name;
        struct stat info;
        if (stat((std::string(PAYLOAD_FILES) + "/" + name).c_str(), &info) == 0 &&
            S_ISREG(info.st_mode))
            files.insert(name);
    }
    closedir(folder);

    std::set<std::string> carried;
    for (int i = 0; i < kPayloadEntryCount; ++i) {
        std::string name = kPayloadCatalogue[i].fileName;
        EXPECT_TRUE(carried.insert(name).second) << name << " is carried twice";
        if (i == kMainProgramEntry || i == kCompanionEntry || i == kUninstallerEntry)
            EXPECT_EQ(files.count(name), 0u) << name << " is built, not kept";
        else
            EXPECT_EQ(files.count(name), 1u) << name << " is not in the payload folder";
    }
    for (const std::string& name : files)
        EXPECT_EQ(carried.count(name), 1u) << name << " is in the payload folder but not carried";
}

TEST(Catalogue, DestinationsFormsAndReadOnlyFlags)
{
    EXPECT_EQ(kPayloadCatalogue[0].destination, PayloadDestination::MainProgram);
    EXPECT_EQ(kPayloadCatalogue[37].destination, PayloadDestination::WindowsDirectory);
    EXPECT_EQ(kPayloadCatalogue[38].destination, PayloadDestination::Uninstaller);
    int readOnly = 0;
    for (int i = 0; i < kPayloadEntryCount; ++i) {
        const PayloadEntry& entry = kPayloadCatalogue[i];
        std::string name = entry.fileName;
        bool scheme = ends_with(name, ".scm") || ends_with(name, ".stp");
        bool raw = scheme;
        for (unsigned id : kRawIds)
            raw = raw || entry.id == id;
        EXPECT_EQ(entry.form, raw ? PayloadForm::Raw : PayloadForm::Compressed) << name;
        // The colour schemes and print setups, and only they, are read-only.
        EXPECT_EQ(entry.readOnly, scheme) << name;
        readOnly += entry.readOnly;
        if (i >= 1 && i <= 36)
            EXPECT_EQ(entry.destination, PayloadDestination::InstallFolder) << name;
    }
    EXPECT_EQ(readOnly, 23);
}

// One line of a payload.rc: `id FILE "path"`.
struct RcLine {
    unsigned id;
    std::string path;
};

std::vector<RcLine> read_resource_script(const std::string& path, std::string* language)
{
    std::vector<RcLine> lines;
    std::istringstream text(read_file(path));
    std::string line;
    while (std::getline(text, line)) {
        if (line.rfind("LANGUAGE", 0) == 0)
            *language = line;
        size_t quote = line.find(" FILE \"");
        if (quote == std::string::npos || line.back() != '"')
            continue;
        lines.push_back({unsigned(std::stoul(line.substr(0, quote))),
                         line.substr(quote + 7, line.size() - quote - 8)});
    }
    return lines;
}

std::map<unsigned, std::string> read_forms(const std::string& path)
{
    std::map<unsigned, std::string> forms;
    std::istringstream text(read_file(path));
    unsigned id;
    std::string form, rest;
    while (text >> id >> form && std::getline(text, rest))
        forms[id] = form;
    return forms;
}

// Expands a container and checks its header against the source.
void expect_container_of(const std::string& containerPath, const std::string& sourcePath)
{
    std::string container = read_file(containerPath);
    std::string source = read_file(sourcePath);
    ASSERT_GE(container.size(), szdd::kHeaderSize) << containerPath;
    EXPECT_EQ(container[8], 'A');
    EXPECT_EQ(container[9], '\0');
    std::vector<std::uint8_t> expanded;
    ASSERT_EQ(szdd::expand(reinterpret_cast<const std::uint8_t*>(container.data()),
                           container.size(), expanded),
              szdd::Status::ok)
        << containerPath;
    EXPECT_TRUE(std::string(expanded.begin(), expanded.end()) == source) << containerPath;
}

TEST(PayloadSet, ResourceScriptCarriesEveryEntryInOrder)
{
    std::string language;
    std::vector<RcLine> lines =
        read_resource_script(std::string(FULL_SET) + "/payload.rc", &language);
    EXPECT_EQ(language, "LANGUAGE 9, 1");
    ASSERT_EQ(lines.size(), 39u);
    for (int i = 0; i < kPayloadEntryCount; ++i) {
        const PayloadEntry& entry = kPayloadCatalogue[i];
        SCOPED_TRACE(entry.fileName);
        EXPECT_EQ(lines[i].id, entry.id);
        if (entry.form == PayloadForm::Raw) {
            EXPECT_EQ(lines[i].path, std::string(PAYLOAD_FILES) + "/" + entry.fileName);
        } else {
            EXPECT_TRUE(ends_with(lines[i].path, "/" + std::to_string(entry.id) + ".szdd"));
        }
    }
}

TEST(PayloadSet, ContainersExpandToTheirSources)
{
    std::string language;
    std::vector<RcLine> lines =
        read_resource_script(std::string(FULL_SET) + "/payload.rc", &language);
    ASSERT_EQ(lines.size(), 39u);
    int containers = 0;
    for (int i = 0; i < kPayloadEntryCount; ++i) {
        const PayloadEntry& entry = kPayloadCatalogue[i];
        if (entry.form != PayloadForm::Compressed || entry.destination !=
                                                         PayloadDestination::InstallFolder)
            continue;
        expect_container_of(lines[i].path, std::string(PAYLOAD_FILES) + "/" + entry.fileName);
        ++containers;
    }
    EXPECT_EQ(containers, 9);
}

TEST(PayloadSet, PayloadFolderExcludeAndVerbatimChangeOnlyTheirEntries)
{
    std::string language;
    std::vector<RcLine> changed =
        read_resource_script(std::string(CHANGED_SET) + "/payload.rc", &language);
    std::vector<RcLine> full = read_resource_script(std::string(FULL_SET) + "/payload.rc",
                                                    &language);
    std::map<unsigned, std::string> forms = read_forms(std::string(CHANGED_SET) +
                                                       "/payload_sources.txt");
    ASSERT_EQ(changed.size(), 37u);
    size_t next = 0;
    for (const RcLine& line : full) {
        if (line.id == 186 || line.id == 165)
            continue;   // excluded
        ASSERT_LT(next, changed.size());
        const RcLine& mine = changed[next++];
        EXPECT_EQ(mine.id, line.id);
        if (line.id == 159) {
            EXPECT_EQ(mine.path, std::string(OVERLAY_FILES) + "/license.txt");
        } else if (line.id == 147) {
            EXPECT_EQ(mine.path, std::string(PAYLOAD_FILES) + "/Veltranox.hlp");
            EXPECT_EQ(forms[147], "VERBATIM");
        } else if (line.id == 163) {
            // Same file, packed for this set too.
            expect_container_of(mine.path, std::string(PAYLOAD_FILES) + "/tips.txt");
        } else if (forms[line.id] == "RAW") {
            EXPECT_EQ(mine.path, line.path) << line.id;
        }
    }
}

TEST(PayloadSet, ChecksumTableHoldsTheCrcOfEveryCarriedResource)
{
    // zlib's CRC-32 is the reference the table must agree with, for every
    // kind of stored file: containers, raw files, a verbatim one.
    std::string language;
    std::vector<RcLine> lines =
        read_resource_script(std::string(CHANGED_SET) + "/payload.rc", &language);
    std::string table = read_file(std::string(CHANGED_SET) + "/checksums.bin");
    ASSERT_EQ(table.size(), lines.size() * 8);
    auto word = [&table](size_t at) {
        const unsigned char* b = reinterpret_cast<const unsigned char*>(table.data()) + at;
        return std::uint32_t(b[0] | b[1] << 8 | b[2] << 16 | std::uint32_t(b[3]) << 24);
    };
    for (size_t i = 0; i < lines.size(); ++i) {
        std::string stored = read_file(lines[i].path);
        ASSERT_FALSE(stored.empty()) << lines[i].path;
        EXPECT_EQ(word(8 * i), lines[i].id);
        EXPECT_EQ(word(8 * i + 4),
                  crc32(0, reinterpret_cast<const Bytef*>(stored.data()), uInt(stored.size())))
            << lines[i].path;
    }
}

}  // namespace
