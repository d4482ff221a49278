#include <gtest/gtest.h>
#include <windows.h>
#include <sddl.h>

#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#include "setup/path.h"
#include "setup/private_temp.h"
#include "setup/sequence.h"
#include "setup/state.h"
#include "tests/support/robot.h"

namespace {

class SetupStateTest : public testing::Test {
protected:
    void SetUp() override { memset(&g_setup, 0, sizeof g_setup); }
};

// Sets an environment variable for one scope.
class ScopedVariable {
public:
    ScopedVariable(const char* name, const std::string& value) : name_(name)
    {
        char old[32768];
        DWORD length = GetEnvironmentVariableA(name, old, sizeof old);
        had_ = length > 0 && length < sizeof old;
        if (had_)
            old_ = old;
        SetEnvironmentVariableA(name, value.c_str());
    }
    ~ScopedVariable() { SetEnvironmentVariableA(name_, had_ ? old_.c_str() : nullptr); }

private:
    const char* name_;
    std::string old_;
    bool had_ = false;
};

std::string system_windows_directory()
{
    char path[MAX_PATH];
    UINT length = GetWindowsDirectoryA(path, MAX_PATH);
    return std::string(path, length);
}

} // namespace

// The system folders as the system gives them, without a notice: the
// Windows directory without a trailing backslash, the temp folder with one.
TEST_F(SetupStateTest, SystemFoldersAreReadWithoutNotice)
{
    robot::Robot robot;
    robot.start();
    read_system_folders();
    robot.stop();
    EXPECT_EQ(0u, robot.notice_count());
    std::string windows = system_windows_directory();
    ASSERT_FALSE(windows.empty());
    EXPECT_EQ(windows, g_setup.windowsDirectory);
    char temp[MAX_PATH];
    ASSERT_NE(0u, GetTempPathA(MAX_PATH, temp));
    EXPECT_STREQ(temp, g_setup.tempFolder);
    EXPECT_EQ('\\', g_setup.tempFolder[strlen(g_setup.tempFolder) - 1]);
}

// A temp path longer than a path buffer is no temp path: notice "3" and an
// empty temp folder; the Windows directory is read all the same.
TEST_F(SetupStateTest, TempPathLongerThanBufferGivesNoticeThree)
{
    std::string longPath = "C:\\" + std::string(600, 't');
    ScopedVariable tmp("TMP", longPath);
    ScopedVariable temp("TEMP", longPath);
    strcpy(g_setup.tempFolder, "stale");
    robot::Robot robot;
    robot.start();
    read_system_folders();
    robot.stop();
    auto notices = robot.notices();
    ASSERT_EQ(1u, notices.size());
    EXPECT_EQ("ERROR 3", notices[0].caption);
    EXPECT_EQ("Unable to locate temp path.", notices[0].text);
    EXPECT_STREQ("", g_setup.tempFolder);
    EXPECT_EQ(system_windows_directory(), g_setup.windowsDirectory);
}

// One trailing backslash goes: a drive root becomes "C:", so that path
// join later puts files at the root; a folder stays as it is.
TEST(WindowsDirectoryRule, RemovesExactlyOneTrailingBackslash)
{
    const struct {
        const char* given;
        const char* expected;
    } cases[] = {
        {"C:\\", "C:"},
        {"C:\\WINDOWS", "C:\\WINDOWS"},
        {"D:\\WINNT\\", "D:\\WINNT"},
        {"C:\\\\", "C:\\"},
        {"", ""},
    };
    for (const auto& c : cases) {
        PathBuffer path;
        strcpy(path, c.given);
        remove_one_trailing_backslash(path);
        EXPECT_STREQ(c.expected, path) << "from " << c.given;
    }
    // With the drive root as Windows directory, the companion lands there.
    PathBuffer windows = "C:\\", companion;
    remove_one_trailing_backslash(windows);
    path_join(windows, "vmon03.exe", companion);
    EXPECT_STREQ("C:\\vmon03.exe", companion);
}

// The install drive: the folder's own letter, in its own case, when the
// folder starts with a letter and a colon; otherwise C:.
TEST_F(SetupStateTest, InstallDriveComesFromTheFolder)
{
    const struct {
        const char* folder;
        const char* drive;
    } cases[] = {
        {"d:\\Programs\\Veltranox", "d:"},
        {"E:\\Veltranox", "E:"},
        {"Q:", "Q:"},
        {"", "C:"},
        {"Veltranox", "C:"},
        {"D", "C:"},
        {"\\\\server\\share\\Veltranox", "C:"},
    };
    for (const auto& c : cases) {
        strcpy(g_setup.installFolder, c.folder);
        strcpy(g_setup.installDrive, "X:");
        set_install_drive();
        EXPECT_STREQ(c.drive, g_setup.installDrive) << "for " << c.folder;
    }
}

TEST(PathJoin, SeparatorRules)
{
    PathBuffer out;
    path_join("", "Veltranox.exe", out);
    EXPECT_STREQ("Veltranox.exe", out);
    path_join("C:\\", "vmon03.exe", out);
    EXPECT_STREQ("C:\\vmon03.exe", out);
    path_join("C:\\Program Files\\Veltranox", "Veltranox.exe", out);
    EXPECT_STREQ("C:\\Program Files\\Veltranox\\Veltranox.exe", out);
    path_join("C:", "data.tmp", out);
    EXPECT_STREQ("C:\\data.tmp", out);
    // The folder may be the output buffer itself.
    PathBuffer folder = "C:\\Temp";
    path_join(folder, "data.tmp", folder);
    EXPECT_STREQ("C:\\Temp\\data.tmp", folder);
}

// 519 characters fit a path buffer with its terminator; one more does not,
// and then the result is empty rather than cut short.
TEST(PathJoin, ExactFitAndOverflow)
{
    PathBuffer out;
    std::string name = "Veltranox.exe";
    std::string folder(kPathSize - 1 - 1 - name.size(), 'f'); // + '\' + name = 519
    path_join(folder.c_str(), name.c_str(), out);
    EXPECT_EQ(std::string(folder + "\\" + name), out);
    EXPECT_EQ(519u, strlen(out));

    folder += 'f';
    strcpy(out, "previous");
    path_join(folder.c_str(), name.c_str(), out);
    EXPECT_STREQ("", out);

    // A folder that already ends in a backslash gets no second one, so it
    // may be one character longer.
    std::string slashed(kPathSize - 1 - name.size() - 1, 'g');
    slashed += '\\';
    path_join(slashed.c_str(), name.c_str(), out);
    EXPECT_EQ(519u, strlen(out));
    path_join((slashed + "x").c_str(), name.c_str(), out);
    EXPECT_STREQ("", out);
}

// The helpers under the code page the bench started the test with (ctest
// runs this suite again under 932 and 950): a character whose second byte
// is the backslash byte is no separator there, while on a single-byte code
// page the same bytes are two characters, the second a backslash, and are
// handled exactly as before.
TEST(PathHelpers, CharactersEndingInTheBackslashByte)
{
    UINT codePage = GetACP();
    char requested[16];
    if (GetEnvironmentVariableA("EXPECTED_CODE_PAGE", requested, sizeof requested) != 0)
        ASSERT_EQ((UINT)atoi(requested), codePage) << "the bench did not start the requested LANG";
    const bool doubleByte = codePage == 932 || codePage == 950;
    // 932: "表" (0x95 0x5C) and "ソ" (0x83 0x5C); 950: "許" (0xB3 0x5C) and
    // "功" (0xA5 0x5C).
    const std::string last = codePage == 950 ? "\xb3\x5c" : "\x95\x5c";
    const std::string inner = codePage == 950 ? "\xa5\x5c" : "\x83\x5c";
    const std::string parent = "C:\\" + inner + "ab";
    const std::string folder = parent + "\\" + last;
    const std::string cut = folder.substr(0, folder.size() - 1);

    EXPECT_EQ(!doubleByte, path_ends_with_backslash(folder.c_str()));
    PathBuffer out;
    path_join(folder.c_str(), "Veltranox.exe", out);
    EXPECT_EQ(folder + (doubleByte ? "\\" : "") + "Veltranox.exe", out);
    strcpy(out, folder.c_str());
    remove_one_trailing_backslash(out);
    EXPECT_EQ(doubleByte ? folder : cut, out);
    strcpy(out, (folder + "\\\\").c_str());
    EXPECT_EQ((doubleByte ? folder : cut).size(), remove_trailing_backslashes(out, 3));
    EXPECT_EQ(doubleByte ? folder : cut, out);
    EXPECT_STREQ(doubleByte ? last.c_str() : "", path_file_name(folder.c_str()));
    EXPECT_STREQ(doubleByte ? (inner + "ab").c_str() : "ab", path_file_name(parent.c_str()));
    EXPECT_EQ(!doubleByte, path_is_character_boundary(folder.c_str(), folder.size() - 1));
    EXPECT_TRUE(path_is_character_boundary(folder.c_str(), folder.size()));

    // A root keeps its backslash when asked to, whatever the code page.
    strcpy(out, "C:\\\\\\");
    EXPECT_EQ(3u, remove_trailing_backslashes(out, 3));
    EXPECT_STREQ("C:\\", out);
    EXPECT_EQ(2u, remove_trailing_backslashes(out, 0));
    EXPECT_STREQ("C:", out);
    EXPECT_STREQ("", path_file_name("C:\\"));

    // A lead byte right before the terminator stands alone: what lies
    // beyond the terminator is neither read as its second byte nor changed.
    const char lone[] = "C:\\ab\x95\0\\\\";
    memcpy(out, lone, sizeof lone);
    EXPECT_FALSE(path_ends_with_backslash(out));
    EXPECT_EQ(6u, remove_trailing_backslashes(out, 0));
    remove_one_trailing_backslash(out);
    EXPECT_EQ(0, memcmp(lone, out, sizeof lone)) << "bytes past the terminator were written";
    EXPECT_STREQ("ab\x95", path_file_name(out));
    EXPECT_TRUE(path_is_character_boundary(out, 6));
    EXPECT_FALSE(path_is_character_boundary(out, 7)) << "counted past the terminator";
    path_join(out, "x", out);
    EXPECT_STREQ("C:\\ab\x95\\x", out);
}

// Appending refuses what would not fit and leaves the path as it was, so a
// link is never made under a shortened name.
TEST(PathAppend, FitsOrLeavesThePathAlone)
{
    PathBuffer path = "C:\\Links";
    EXPECT_TRUE(path_append(path, "\\Veltranox 2003.lnk"));
    EXPECT_STREQ("C:\\Links\\Veltranox 2003.lnk", path);

    std::string head(kPathSize - 1 - 4, 'h');
    strcpy(path, head.c_str());
    EXPECT_TRUE(path_append(path, "1234"));
    EXPECT_EQ(519u, strlen(path));
    strcpy(path, head.c_str());
    EXPECT_FALSE(path_append(path, "12345"));
    EXPECT_EQ(head, path);
}

namespace {

bool on_wine()
{
    return GetProcAddress(GetModuleHandleA("ntdll.dll"), "wine_get_version") != NULL;
}

// The SIDs that the access list of a folder read back names, in order, as
// text ("S-1-5-18"), and whether its DACL is protected. Every entry must
// be one that allows: anything else is reported as "?".
std::string dacl_of(const std::string& folder, bool* isProtected, std::string* owner)
{
    std::vector<char> descriptor(4096);
    DWORD needed = 0;
    if (!GetFileSecurityA(folder.c_str(), DACL_SECURITY_INFORMATION | OWNER_SECURITY_INFORMATION,
                          descriptor.data(), (DWORD)descriptor.size(), &needed))
        return "(unreadable)";
    SECURITY_DESCRIPTOR_CONTROL control = 0;
    DWORD revision = 0;
    GetSecurityDescriptorControl(descriptor.data(), &control, &revision);
    *isProtected = (control & SE_DACL_PROTECTED) != 0;
    PSID ownerSid = NULL;
    BOOL defaulted = FALSE;
    char* text = NULL;
    if (GetSecurityDescriptorOwner(descriptor.data(), &ownerSid, &defaulted) && ownerSid != NULL &&
        ConvertSidToStringSidA(ownerSid, &text)) {
        *owner = text;
        LocalFree(text);
    }
    BOOL present = FALSE;
    PACL dacl = NULL;
    if (!GetSecurityDescriptorDacl(descriptor.data(), &present, &dacl, &defaulted) || !present ||
        dacl == NULL)
        return "(no DACL)";
    std::string sids;
    for (DWORD index = 0; index < dacl->AceCount; ++index) {
        ACCESS_ALLOWED_ACE* ace = NULL;
        if (!GetAce(dacl, index, (void**)&ace) || ace->Header.AceType != ACCESS_ALLOWED_ACE_TYPE) {
            sids += "? ";
            continue;
        }
        if (ConvertSidToStringSidA(&ace->SidStart, &text)) {
            sids += std::string(text) + " ";
            LocalFree(text);
        }
    }
    return sids;
}

} // namespace

// An elevated process keeps what it checked in a folder of its own under
// the temp folder. The bench's processes run with an administrator's full
// token, as Wine gives every process: whole runs take that branch.
TEST(PrivateFolder, OnlyAdministratorsAndSystemMayChangeIt)
{
    EXPECT_TRUE(process_is_elevated());
    const std::string parent = "C:\\tests\\private parent";
    ASSERT_TRUE(CreateDirectoryA(parent.c_str(), NULL));
    PathBuffer first, second;
    ASSERT_TRUE(create_private_folder(parent.c_str(), first));
    ASSERT_TRUE(create_private_folder((parent + "\\").c_str(), second));
    EXPECT_EQ(parent + "\\", std::string(first).substr(0, parent.size() + 1));
    EXPECT_NE(std::string(first), std::string(second));
    EXPECT_EQ('\\', first[strlen(first) - 1]);
    EXPECT_EQ('\\', second[strlen(second) - 1]);

    bool isProtected = false;
    std::string owner;
    std::string sids = dacl_of(first, &isProtected, &owner);
    if (on_wine()) {
        // Wine keeps a file's security as its Unix mode: entries for the
        // owner, SYSTEM and Everyone only, never the protection. What it
        // can show is that Everyone has none, which the temp folder's
        // default gives it (checked below, so the check can fail).
        EXPECT_EQ("S-1-5-18 " + owner + " ", sids);
        bool plainProtected = false;
        std::string plainOwner;
        const std::string plain = parent + "\\plain";
        ASSERT_TRUE(CreateDirectoryA(plain.c_str(), NULL));
        EXPECT_NE(std::string::npos, dacl_of(plain, &plainProtected, &plainOwner).find("S-1-1-0"));
        RemoveDirectoryA(plain.c_str());
    } else {
        EXPECT_TRUE(isProtected);
        EXPECT_EQ("S-1-5-32-544 S-1-5-18 ", sids);
    }

    // Removed only when empty.
    const std::string inside = std::string(first) + "file.tmp";
    HANDLE file = CreateFileA(inside.c_str(), GENERIC_WRITE, 0, NULL, CREATE_NEW, 0, NULL);
    ASSERT_NE(INVALID_HANDLE_VALUE, file);
    CloseHandle(file);
    remove_private_folder(first);
    EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(first));
    DeleteFileA(inside.c_str());
    remove_private_folder(first);
    remove_private_folder(second);
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(first));
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(second));

    // A parent that is missing, or too long, gives no folder.
    EXPECT_FALSE(create_private_folder((parent + "\\missing").c_str(), first));
    EXPECT_EQ('\0', first[0]);
    EXPECT_FALSE(create_private_folder(std::string(kPathSize - 4, 'x').c_str(), first));
    EXPECT_EQ('\0', first[0]);
    RemoveDirectoryA(parent.c_str());
}
