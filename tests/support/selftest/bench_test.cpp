#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>
#include <windows.h>

#include "tests/support/benchutil.h"

// Each DRIVES entry of the test's registration gives one drive type; C:
// stays fixed, and a letter with no drive reads as DRIVE_NO_ROOT_DIR.
TEST(Bench, DriveTypesFromRegistration)
{
    EXPECT_EQ(DRIVE_FIXED, GetDriveTypeA("C:\\"));
    EXPECT_EQ(DRIVE_REMOVABLE, GetDriveTypeA("D:\\"));
    EXPECT_EQ(DRIVE_REMOTE, GetDriveTypeA("E:\\"));
    EXPECT_EQ(DRIVE_CDROM, GetDriveTypeA("F:\\"));
    EXPECT_EQ(DRIVE_RAMDISK, GetDriveTypeA("G:\\"));
    EXPECT_EQ(DRIVE_FIXED, GetDriveTypeA("H:\\"));
    EXPECT_EQ(DRIVE_NO_ROOT_DIR, GetDriveTypeA("Z:\\"));
    EXPECT_EQ(DRIVE_NO_ROOT_DIR, GetDriveTypeA("Q:\\"));
}

// The drive folders are fresh and writable.
TEST(Bench, DriveFoldersAreEmptyAndWritable)
{
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA("H:\\*", &found);
    int entries = 0;
    if (search != INVALID_HANDLE_VALUE) {
        do {
            if (lstrcmpA(found.cFileName, ".") != 0 && lstrcmpA(found.cFileName, "..") != 0)
                ++entries;
        } while (FindNextFileA(search, &found));
        FindClose(search);
    }
    EXPECT_EQ(0, entries);
    EXPECT_TRUE(CreateDirectoryA("H:\\made", nullptr)) << GetLastError();
}

TEST(Bench, EnvironmentFromRegistration)
{
    char value[MAX_PATH];
    ASSERT_NE(0u, GetEnvironmentVariableA("BENCH_PROBE", value, sizeof value));
    EXPECT_STREQ("two words", value);
    // Wine would otherwise take TMP from the prefix's registry.
    ASSERT_NE(0u, GetTempPathA(sizeof value, value));
    EXPECT_STREQ("C:\\bench temp\\", value);
    EXPECT_EQ(0u, GetEnvironmentVariableA("WINETEST_ENV_BENCH_PROBE", value, sizeof value));
}

TEST(Bench, SiblingProgramRunsAndInheritsEnvironment)
{
    std::string child = sibling_path("bench_child.exe");
    EXPECT_EQ(42, run_and_wait("\"" + child + "\" 42", 30000)) << child;
    EXPECT_EQ(-1, run_and_wait("\"" + sibling_path("no_such_program.exe") + "\"", 30000));
}

TEST(Bench, ReadOnlyKeyRefusesWriteAccessUntilRestored)
{
    const char* path = "Software\\BenchSelfTest\\Locked";
    HKEY key;
    {
        ReadOnlyKey locked(HKEY_CURRENT_USER, path);
        ASSERT_EQ(0, locked.status());
        EXPECT_EQ(ERROR_ACCESS_DENIED,
                  RegCreateKeyExA(HKEY_CURRENT_USER, path, 0, nullptr, 0, 0x2001F, nullptr,
                                  &key, nullptr));
        ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_CURRENT_USER, path, 0, KEY_READ, &key));
        RegCloseKey(key);
    }
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_CURRENT_USER, path, 0, nullptr, 0, 0x2001F,
                                             nullptr, &key, nullptr));
    RegCloseKey(key);
    EXPECT_EQ(ERROR_NOT_FOUND, restore_key_access(HKEY_CURRENT_USER, path));
}

// A box nobody answers fails the test after the grace time (1 s here)
// instead of hanging it until the runner's timeout.
TEST(Bench, UnansweredBoxFailsTheTestInsteadOfHanging)
{
    int result = 0;
    EXPECT_NONFATAL_FAILURE_ON_ALL_THREADS(
        result = MessageBoxA(nullptr, "Nobody answers this.", "Left alone", MB_OK),
        "\"Left alone\": Nobody answers this.");
    EXPECT_EQ(IDOK, result);
}
