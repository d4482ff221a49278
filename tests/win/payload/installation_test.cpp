// A whole installation of the payload into a fresh folder, through the
// operations the setup program runs after the licence, in the same order.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "payload/catalogue.h"
#include "payload/extract.h"
#include "payload/replace.h"
#include "tests/support/benchutil.h"
#include "tests/support/robot.h"
#include "tests/win/payload/fixtures.h"

namespace {

// Every catalogued file of entries 1 to 38 in its place, byte for byte,
// read-only exactly where the catalogue says, and nothing else around.
void expect_installed(const std::string& folder, const std::string& windows,
                      const std::string& temp)
{
    std::set<std::string> inFolder, inWindows;
    for (int i = kMainProgramEntry; i <= kCompanionEntry; ++i) {
        const PayloadEntry& entry = kPayloadCatalogue[i];
        SCOPED_TRACE(entry.fileName);
        const std::string& where = i == kCompanionEntry ? windows : folder;
        (i == kCompanionEntry ? inWindows : inFolder).insert(entry.fileName);
        std::string path = where + "\\" + entry.fileName;
        std::string expected = expected_file(entry.id);
        ASSERT_FALSE(expected.empty());
        bool read = false;
        std::string installed = read_file(path, &read);
        EXPECT_TRUE(read);
        // Not EXPECT_EQ: a megabyte printed on failure helps nobody.
        EXPECT_EQ(expected.size(), installed.size());
        EXPECT_TRUE(expected == installed);
        EXPECT_EQ(entry.readOnly, (attributes_of(path) & FILE_ATTRIBUTE_READONLY) != 0);
    }
    // Names with their exact case, no image.tmp, no data.tmp.
    EXPECT_EQ(inFolder, names_in(folder));
    EXPECT_EQ(inWindows, names_in(windows));
    EXPECT_TRUE(names_in(temp).empty());
}

TEST(Installation, FirstInstallationAndReinstallWriteEveryFileExactly)
{
    std::string folder = fresh_folder("installation");
    std::string windows = fresh_folder("installation-windows");
    std::string temp = fresh_folder("installation-temp");
    robot::Robot robot;
    robot.start();
    SetupScope scope(folder, temp + "\\", windows);

    ASSERT_EQ(kReplaced, main_program_replacement());
    install_payload_files();
    expect_installed(folder, windows, temp);

    // Again over the installation just made: the carried main program is
    // not newer than itself, and read-only files are rewritten.
    for (const char* name : {"Blue.scm", "AMPAS.stp"})
        write_file(folder + "\\" + name, "changed by the user");
    ASSERT_EQ(kReplaced, main_program_replacement());
    install_payload_files();
    expect_installed(folder, windows, temp);
    EXPECT_EQ(0u, robot.notice_count());
}

} // namespace
