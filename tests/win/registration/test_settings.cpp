// The registry start-up and the installation record against Wine's
// registry, with keys made unwritable through their access control.
#include <windows.h>

#include <gtest/gtest.h>

#include "common/registry.h"
#include "registration/settings.h"
#include "setup/state.h"
#include "tests/support/benchutil.h"
#include "tests/support/notices.h"
#include "tests/support/registry_fixture.h"

using namespace fixture;

namespace {

const std::string kBlank = sz("blank");

DWORD stored_dword(HKEY root, const char* path, const char* name)
{
    StoredValue value = read_value(root, path, name);
    EXPECT_TRUE(value.present) << name;
    EXPECT_EQ(DWORD(REG_DWORD), value.type) << name;
    DWORD number = 0xFFFFFFFF;
    if (value.bytes.size() == 4)
        memcpy(&number, value.bytes.data(), 4);
    return number;
}

TEST(RegistryStartup, FirstRunCreatesBothKeysAndProbesThem)
{
    fresh_registry();
    NoticeLog boxes;
    EXPECT_EQ(1, registry_startup());
    EXPECT_TRUE(boxes.stop().empty());

    EXPECT_EQ(0u, g_setup.nolmaccess);
    EXPECT_EQ(0u, stored_dword(HKEY_CURRENT_USER, kSettingsKey, "nolmaccess"));
    StoredValue settingsPatch = read_value(HKEY_CURRENT_USER, kSettingsKey, "patch");
    EXPECT_EQ(DWORD(REG_SZ), settingsPatch.type);
    EXPECT_EQ(kBlank, settingsPatch.bytes);
    EXPECT_EQ(kBlank, read_value(HKEY_LOCAL_MACHINE, kMachineKey, "patch").bytes);
    // Nothing to copy on a first run: the machine key holds the probe alone.
    EXPECT_FALSE(read_value(HKEY_LOCAL_MACHINE, kMachineKey, "Path").present);
    EXPECT_FALSE(read_value(HKEY_LOCAL_MACHINE, kMachineKey, "Installed").present);
}

// What the start-up copy makes of a per-user "Path" stored as these bytes.
TEST(RegistryStartup, CopiesPerUserValuesThatFitInto255Bytes)
{
    struct Case {
        std::string stored;
        const char* machineAfter; // null: the old machine value stays
    };
    const std::string long254(254, 'p');
    const Case cases[] = {
        {sz("C:\\Apps\\Veltranox"), "C:\\Apps\\Veltranox"},
        {sz(long254), long254.c_str()},    // 255 bytes with the terminator
        {sz(long254 + "p"), NULL},         // 256 bytes
        {long254 + "p", NULL},             // 255 bytes, no terminator
        {"C:\\Apps\\Vx", "C:\\Apps\\Vx"},  // no terminator, room after it
    };
    for (const Case& c : cases) {
        fresh_registry();
        set_raw_value(HKEY_CURRENT_USER, kSettingsKey, "Path", REG_SZ, c.stored);
        set_raw_value(HKEY_CURRENT_USER, kSettingsKey, "Installed", REG_SZ, sz("D:\\setup.exe"));
        set_raw_value(HKEY_LOCAL_MACHINE, kMachineKey, "Path", REG_SZ, sz("old"));
        ASSERT_EQ(1, registry_startup());
        std::string expected = sz(c.machineAfter ? c.machineAfter : "old");
        EXPECT_EQ(expected, read_value(HKEY_LOCAL_MACHINE, kMachineKey, "Path").bytes)
            << "stored " << c.stored.size() << " bytes";
        EXPECT_EQ(sz("D:\\setup.exe"),
                  read_value(HKEY_LOCAL_MACHINE, kMachineKey, "Installed").bytes);
    }
}

TEST(RegistryStartup, UnwritableMachineKeySendsMachineValuesToSettingsKey)
{
    fresh_registry();
    set_raw_value(HKEY_CURRENT_USER, kSettingsKey, "Path", REG_SZ, sz("C:\\Apps\\Veltranox"));
    {
        ReadOnlyKey locked(HKEY_LOCAL_MACHINE, kMachineKey);
        ASSERT_EQ(0, locked.status());
        EXPECT_EQ(1, registry_startup());
    }
    EXPECT_EQ(1u, g_setup.nolmaccess);
    EXPECT_EQ(1u, stored_dword(HKEY_CURRENT_USER, kSettingsKey, "nolmaccess"));
    EXPECT_EQ(kBlank, read_value(HKEY_CURRENT_USER, kSettingsKey, "patch").bytes);
    EXPECT_FALSE(read_value(HKEY_LOCAL_MACHINE, kMachineKey, "patch").present);
    EXPECT_FALSE(read_value(HKEY_LOCAL_MACHINE, kMachineKey, "Path").present);

    // From now on the machine key is the settings key, even though HKLM
    // could be written again.
    RegistryKey machine;
    ASSERT_EQ(0, open_machine_key(&machine.handle));
    ASSERT_EQ(0, write_string_value(machine.handle, "Path", "E:\\Elsewhere"));
    EXPECT_EQ(sz("E:\\Elsewhere"), read_value(HKEY_CURRENT_USER, kSettingsKey, "Path").bytes);
    EXPECT_FALSE(read_value(HKEY_LOCAL_MACHINE, kMachineKey, "Path").present);
}

TEST(RegistryStartup, UnwritableSettingsKeyStopsBeforeTheMachineKey)
{
    fresh_registry();
    ReadOnlyKey locked(HKEY_CURRENT_USER, kSettingsKey);
    ASSERT_EQ(0, locked.status());
    EXPECT_EQ(0, registry_startup());
    EXPECT_EQ(0u, g_setup.nolmaccess);
    EXPECT_FALSE(key_exists(HKEY_LOCAL_MACHINE, kMachineKey));
    EXPECT_FALSE(read_value(HKEY_CURRENT_USER, kSettingsKey, "nolmaccess").present);
    EXPECT_FALSE(read_value(HKEY_CURRENT_USER, kSettingsKey, "patch").present);
}

// The setup program itself, started from here: notice "1A" is the only box
// and the run ends with exit code 0 before the machine key is touched.
TEST(RegistryStartup, SetupProgramEndsWithNotice1AWhenSettingsKeyIsLocked)
{
    fresh_registry();
    ReadOnlyKey locked(HKEY_CURRENT_USER, kSettingsKey);
    ASSERT_EQ(0, locked.status());

    robot::Robot watcher;
    watcher.watch_all_processes(true);
    watcher.start();
    int exitCode = run_and_wait("\"" + sibling_path("VeltranoxSetup.exe") + "\"", 60000);
    watcher.stop();

    EXPECT_EQ(0, exitCode);
    std::vector<robot::Notice> notices = watcher.notices();
    ASSERT_EQ(1u, notices.size());
    EXPECT_EQ("ERROR 1A", notices[0].caption);
    EXPECT_EQ("Unable to access system registry.  Installation aborted.", notices[0].text);
    EXPECT_EQ(NULL, notices[0].owner);
    EXPECT_FALSE(key_exists(HKEY_LOCAL_MACHINE, kMachineKey));
}

TEST(InstallationRecord, WritesBuildNumberAndOwnPathIntoSettingsKeyOnly)
{
    fresh_registry();
    g_setup.nolmaccess = 0;
    NoticeLog boxes;
    EXPECT_EQ(1, installation_record());
    EXPECT_TRUE(boxes.stop().empty());

    char ownPath[MAX_PATH];
    GetModuleFileNameA(NULL, ownPath, sizeof ownPath);
    EXPECT_EQ(43u, stored_dword(HKEY_CURRENT_USER, kSettingsKey, "zxcount"));
    StoredValue installed = read_value(HKEY_CURRENT_USER, kSettingsKey, "Installed");
    EXPECT_EQ(DWORD(REG_SZ), installed.type);
    EXPECT_EQ(sz(ownPath), installed.bytes);
    EXPECT_FALSE(key_exists(HKEY_LOCAL_MACHINE, kMachineKey));
}

TEST(InstallationRecord, LockedSettingsKeyGivesSystemNotice22)
{
    fresh_registry();
    ReadOnlyKey locked(HKEY_CURRENT_USER, kSettingsKey);
    ASSERT_EQ(0, locked.status());
    NoticeLog boxes;
    EXPECT_EQ(0, installation_record());
    std::vector<robot::Notice> notices = boxes.stop();
    ASSERT_EQ(1u, notices.size());
    EXPECT_EQ("ERROR 22", notices[0].caption);
    EXPECT_EQ(system_text(ERROR_ACCESS_DENIED), notices[0].text);
    EXPECT_EQ(robot::Icon::Error, notices[0].icon);
    EXPECT_FALSE(read_value(HKEY_CURRENT_USER, kSettingsKey, "zxcount").present);
    EXPECT_FALSE(read_value(HKEY_CURRENT_USER, kSettingsKey, "Installed").present);
}

// A stored string that fills the buffer without a terminating zero has no
// end inside it and is refused; one with room after it is terminated.
TEST(RegistryHelpers, StringReadsAlwaysEndInsideTheBuffer)
{
    fresh_registry();
    set_raw_value(HKEY_CURRENT_USER, kSettingsKey, "full", REG_SZ, std::string(8, 'f'));
    set_raw_value(HKEY_CURRENT_USER, kSettingsKey, "short", REG_SZ, "abc");
    RegistryKey key;
    ASSERT_EQ(0, open_settings_key(&key.handle));
    char buffer[9];
    memset(buffer, 'X', sizeof buffer);
    EXPECT_NE(0, read_string_value(key.handle, "full", buffer, 8));
    EXPECT_EQ('X', buffer[8]);
    memset(buffer, 'X', sizeof buffer);
    EXPECT_EQ(0, read_string_value(key.handle, "short", buffer, 8));
    EXPECT_STREQ("abc", buffer);
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, read_string_value(key.handle, "absent", buffer, 8));
}

} // namespace
