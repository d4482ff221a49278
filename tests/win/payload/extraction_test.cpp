// Raw and compressed installs, file expansion and retried delete, against
// Wine's real file system and LZ32.
#include <gtest/gtest.h>

#include "payload/extract.h"
#include "tests/support/robot.h"
#include "tests/win/payload/fixtures.h"

namespace {

const UINT kReadOnlyRaw = 125;  // BlackWhite.scm
const UINT kWritableRaw = 186;  // veltranox.exe.manifest
const UINT kCompressed = 111;   // Sample.scp
const UINT kMissing = 107;      // no such payload

typedef BOOL(WINAPI* WriteFileFunction)(HANDLE, LPCVOID, DWORD, LPDWORD, LPOVERLAPPED);
WriteFileFunction g_realWriteFile = nullptr;

BOOL WINAPI write_at_most_4k(HANDLE file, LPCVOID bytes, DWORD count, LPDWORD written,
                             LPOVERLAPPED overlapped)
{
    return g_realWriteFile(file, bytes, count < 4096 ? count : 4096, written, overlapped);
}

class Extraction : public FreshFoldersTest {
protected:
    std::string in_folder(const char* name) const { return folder_ + "\\" + name; }
};

TEST_F(Extraction, RawInstallReplacesReadOnlyFilesAndMarksOnlyReadOnlyEntries)
{
    SetupScope scope(folder_, temp_);
    std::string target = in_folder("BlackWhite.scm");
    ASSERT_TRUE(write_file(target, "an older colour scheme, longer than the new one"));
    ASSERT_TRUE(SetFileAttributesA(target.c_str(), FILE_ATTRIBUTE_READONLY));

    EXPECT_EQ(1, raw_install(kReadOnlyRaw, folder_.c_str(), "BlackWhite.scm", 1));
    EXPECT_EQ(expected_file(kReadOnlyRaw), read_file(target));
    EXPECT_EQ((DWORD)FILE_ATTRIBUTE_READONLY, attributes_of(target) & FILE_ATTRIBUTE_READONLY);

    // The same read-only file, rewritten by an entry without the flag,
    // comes out writable.
    EXPECT_EQ(1, raw_install(kWritableRaw, folder_.c_str(), "BlackWhite.scm", 0));
    EXPECT_EQ(expected_file(kWritableRaw), read_file(target));
    EXPECT_EQ(0u, attributes_of(target) & FILE_ATTRIBUTE_READONLY);
    EXPECT_EQ(0u, robot_.notice_count());
}

TEST_F(Extraction, MissingResourceWritesNothingAndNamesTheStep)
{
    SetupScope scope(folder_, temp_);
    EXPECT_EQ(0, raw_install(kMissing, folder_.c_str(), "missing.bin", 0));
    EXPECT_EQ(0, compressed_install(kMissing, folder_.c_str(), "missing.bin"));
    EXPECT_FALSE(path_exists(in_folder("missing.bin")));
    EXPECT_FALSE(path_exists(temp_ + "data.tmp"));
    ASSERT_TRUE(robot_.wait_for_notices(2, 60000));
    for (const robot::Notice& notice : robot_.notices())
        EXPECT_EQ("ERROR 60", notice.caption);
}

TEST_F(Extraction, CompressedInstallExpandsThroughDataTmpAndRemovesIt)
{
    SetupScope scope(folder_, temp_);
    std::string target = in_folder("Sample.scp");
    EXPECT_EQ(1, compressed_install(kCompressed, folder_.c_str(), "Sample.scp"));
    EXPECT_EQ(expected_file(kCompressed), read_file(target));
    EXPECT_EQ(0u, attributes_of(target) & FILE_ATTRIBUTE_READONLY);
    EXPECT_FALSE(path_exists(temp_ + "data.tmp"));

    // Over an existing writable file, which is truncated, not appended to.
    std::string longer(400000, 'x');
    ASSERT_TRUE(write_file(target, longer));
    EXPECT_EQ(1, compressed_install(kCompressed, folder_.c_str(), "Sample.scp"));
    EXPECT_EQ(expected_file(kCompressed), read_file(target));
    EXPECT_EQ(0u, robot_.notice_count());
}

TEST_F(Extraction, CompressedInstallOntoReadOnlyFileFailsQuietlyAndCleansUp)
{
    SetupScope scope(folder_, temp_);
    std::string target = in_folder("Sample.scp");
    ASSERT_TRUE(write_file(target, "kept"));
    ReadOnlyFile readOnly(target);
    ASSERT_TRUE(readOnly.enforced());

    EXPECT_EQ(0, compressed_install(kCompressed, folder_.c_str(), "Sample.scp"));
    EXPECT_EQ("kept", read_file(target));
    EXPECT_NE(0u, attributes_of(target) & FILE_ATTRIBUTE_READONLY);
    EXPECT_FALSE(path_exists(temp_ + "data.tmp"));
    EXPECT_EQ(0u, robot_.notice_count());
}

TEST_F(Extraction, WithoutTempPathDataTmpGoesToTheDriveRoot)
{
    // The sequence puts the bare install drive in the temp folder.
    SetupScope scope(folder_, "C:");
    RemoveDirectoryA("C:\\data.tmp");
    DeleteFileA("C:\\data.tmp");
    EXPECT_EQ(1, compressed_install(kCompressed, folder_.c_str(), "Sample.scp"));
    EXPECT_EQ(expected_file(kCompressed), read_file(in_folder("Sample.scp")));
    EXPECT_FALSE(path_exists("C:\\data.tmp"));

    // Proof of where it goes: a folder in the way at C:\data.tmp stops it.
    ASSERT_TRUE(CreateDirectoryA("C:\\data.tmp", nullptr));
    EXPECT_EQ(0, compressed_install(kCompressed, folder_.c_str(), "Other.scp"));
    EXPECT_FALSE(path_exists(in_folder("Other.scp")));
    RemoveDirectoryA("C:\\data.tmp");
    EXPECT_EQ(0u, robot_.notice_count());
}

TEST_F(Extraction, UnwritableTempFolderFailsEveryCompressedInstallQuietly)
{
    {
        SetupScope scope(folder_, "C:\\extract-tests\\no-such-temp\\");
        EXPECT_EQ(0, compressed_install(kCompressed, folder_.c_str(), "Sample.scp"));
        EXPECT_EQ(0, compressed_install(kCompressed, folder_.c_str(), "Sample2.scp"));
    }
    {
        // A temp folder where "data.tmp" cannot be created.
        SetupScope scope(folder_, temp_);
        ASSERT_TRUE(CreateDirectoryA((temp_ + "data.tmp").c_str(), nullptr));
        EXPECT_EQ(0, compressed_install(kCompressed, folder_.c_str(), "Sample.scp"));
        EXPECT_NE(0u, attributes_of(temp_ + "data.tmp") & FILE_ATTRIBUTE_DIRECTORY);
    }
    EXPECT_FALSE(path_exists(in_folder("Sample.scp")));
    EXPECT_FALSE(path_exists(in_folder("Sample2.scp")));
    // Raw entries do not need the temp folder.
    SetupScope scope(folder_, "C:\\extract-tests\\no-such-temp\\");
    EXPECT_EQ(1, raw_install(kWritableRaw, folder_.c_str(), "veltranox.exe.manifest", 0));
    EXPECT_EQ(0u, robot_.notice_count());
}

TEST_F(Extraction, ExpansionRejectsTruncatedAndUnreadableContainers)
{
    std::string container = resource_bytes(kCompressed, "FILE");
    ASSERT_GT(container.size(), 1000u);

    // Cut in the middle: LZ32 copies what it can and stops short.
    ASSERT_TRUE(write_file(temp_ + "cut.tmp", container.substr(0, container.size() / 2)));
    EXPECT_EQ(0, file_expansion(temp_.c_str(), "cut.tmp", folder_.c_str(), "cut.scp"));
    EXPECT_EQ((DWORD)ERROR_INVALID_DATA, GetLastError());
    EXPECT_FALSE(path_exists(in_folder("cut.scp"))) << "a partial file was left";
    // Only the header: nothing at all comes out.
    ASSERT_TRUE(write_file(temp_ + "header.tmp", container.substr(0, 14)));
    EXPECT_EQ(0, file_expansion(temp_.c_str(), "header.tmp", folder_.c_str(), "header.scp"));
    EXPECT_EQ((DWORD)ERROR_INVALID_DATA, GetLastError());
    // A resource that is no container at all is refused by the compressed
    // install before anything is written (LZ32 would copy it as it stands).
    {
        SetupScope scope(folder_, temp_);
        EXPECT_EQ(0, compressed_install(kWritableRaw, folder_.c_str(), "plain.scp"));
        EXPECT_EQ((DWORD)ERROR_INVALID_DATA, GetLastError());
        EXPECT_FALSE(path_exists(in_folder("plain.scp")));
        EXPECT_FALSE(path_exists(temp_ + "data.tmp"));
    }
    // The whole container expands.
    ASSERT_TRUE(write_file(temp_ + "whole.tmp", container));
    EXPECT_EQ(1, file_expansion(temp_.c_str(), "whole.tmp", folder_.c_str(), "whole.scp"));
    EXPECT_EQ(expected_file(kCompressed), read_file(in_folder("whole.scp")));
    EXPECT_EQ(0u, robot_.notice_count());

    // No file stays open: each can be opened exclusively and deleted.
    for (const char* name : {"cut.tmp", "header.tmp", "whole.tmp"}) {
        std::string path = temp_ + name;
        HANDLE file = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                  OPEN_EXISTING, 0, nullptr);
        EXPECT_NE(INVALID_HANDLE_VALUE, file) << name;
        CloseHandle(file);
        EXPECT_TRUE(DeleteFileA(path.c_str())) << name;
    }
}

TEST_F(Extraction, ExpansionFailuresLeaveNoDestinationAndNoOpenFiles)
{
    // No source: nothing is made, nothing is shown.
    EXPECT_EQ(0, file_expansion(temp_.c_str(), "absent.tmp", folder_.c_str(), "a.scp"));
    EXPECT_FALSE(path_exists(in_folder("a.scp")));
    EXPECT_EQ(0u, robot_.notice_count());

    // A container in a mode LZ32 does not know: its LZInit fails, and the
    // destination made for it goes again.
    std::string container = resource_bytes(kCompressed, "FILE");
    container[8] = 'Q';
    ASSERT_TRUE(write_file(temp_ + "mode.tmp", container));
    ASSERT_TRUE(write_file(in_folder("b.scp"), "an older file"));
    EXPECT_EQ(0, file_expansion(temp_.c_str(), "mode.tmp", folder_.c_str(), "b.scp"));
    ASSERT_TRUE(robot_.wait_for_notices(1, 60000));
    robot::Notice notice = robot_.notices()[0];
    EXPECT_EQ("ERROR DC5", notice.caption);
    EXPECT_EQ("Unable to to decompress files", notice.text);
    EXPECT_EQ(robot::Icon::Error, notice.icon);
    EXPECT_FALSE(path_exists(in_folder("b.scp")));
    EXPECT_TRUE(DeleteFileA((temp_ + "mode.tmp").c_str()));
}

TEST_F(Extraction, ShortWriteIsAFailure)
{
    // A non-blocking pipe takes only what fits in its buffer and then
    // nothing: a real handle that writes short.
    HANDLE server = CreateNamedPipeA("\\\\.\\pipe\\extract-short-write", PIPE_ACCESS_INBOUND,
                                     PIPE_TYPE_BYTE | PIPE_NOWAIT, 1, 4096, 4096, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, server);
    HANDLE client = CreateFileA("\\\\.\\pipe\\extract-short-write", GENERIC_WRITE, 0, nullptr,
                                OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, client);
    DWORD mode = PIPE_NOWAIT;
    ASSERT_TRUE(SetNamedPipeHandleState(client, &mode, nullptr, nullptr));
    std::string bytes(100000, 'b');
    SetLastError(0);
    EXPECT_EQ(0, write_whole(client, bytes.data(), (DWORD)bytes.size()));
    EXPECT_EQ((DWORD)ERROR_WRITE_FAULT, GetLastError());
    CloseHandle(client);
    CloseHandle(server);

    // A whole write to a file succeeds, also through a device that takes
    // at most 4 KB a call and so writes short every time: every byte once,
    // in order (the bytes all differ from their neighbours, so that a
    // chunk sent twice shows).
    for (int i = 0; i < (int)bytes.size(); ++i)
        bytes[i] = char(i * 7 + i / 251);
    std::string path = in_folder("whole.bin");
    EXPECT_EQ(1, file_write(bytes.data(), (DWORD)bytes.size(), path.c_str()));
    EXPECT_TRUE(bytes == read_file(path));
    {
        ImportHook shortWrites("WriteFile", reinterpret_cast<FARPROC>(&write_at_most_4k));
        ASSERT_TRUE(shortWrites.hooked());
        g_realWriteFile = reinterpret_cast<WriteFileFunction>(shortWrites.real());
        path = in_folder("short.bin");
        EXPECT_EQ(1, file_write(bytes.data(), (DWORD)bytes.size(), path.c_str()));
    }
    EXPECT_TRUE(bytes == read_file(path)) << "bytes lost, repeated or out of order";
}

TEST_F(Extraction, RetriedDeleteTriesTenTimesThenGivesUp)
{
    SleepWatch sleeps;
    ASSERT_TRUE(sleeps.hooked());
    // A missing file: ten attempts, 50 ms apart.
    retried_delete(in_folder("absent.bin").c_str());
    EXPECT_EQ(500u, sleeps.total());

    // A read-only file goes at the first attempt.
    std::string readOnly = in_folder("readonly.bin");
    ASSERT_TRUE(write_file(readOnly, "x"));
    ASSERT_TRUE(SetFileAttributesA(readOnly.c_str(), FILE_ATTRIBUTE_READONLY));
    size_t before = sleeps.count();
    retried_delete(readOnly.c_str());
    EXPECT_EQ(before, sleeps.count());
    EXPECT_FALSE(path_exists(readOnly));

    // A file held by another program is deleted once it is let go, within
    // the ten attempts: here during the first wait.
    std::string held = in_folder("held.bin");
    ASSERT_TRUE(write_file(held, "x"));
    HANDLE holder = start_holder(held);
    ASSERT_NE(nullptr, holder);
    int released = -1;
    sleeps.on_sleep(50, [&] { released = finish_holder(holder); });
    before = sleeps.count();
    retried_delete(held.c_str());
    EXPECT_EQ(0, released);
    EXPECT_EQ(before + 1, sleeps.count());
    EXPECT_FALSE(path_exists(held));
}

TEST_F(Extraction, DeleteInFolderAlwaysAddsOneBackslash)
{
    // The temp folder ends in a backslash; the doubled one still names the
    // file.
    ASSERT_TRUE(write_file(temp_ + "data.tmp", "x"));
    delete_in_folder(temp_.c_str(), "data.tmp");
    EXPECT_FALSE(path_exists(temp_ + "data.tmp"));
    ASSERT_TRUE(write_file(in_folder("data.tmp"), "x"));
    delete_in_folder(folder_.c_str(), "data.tmp");
    EXPECT_FALSE(path_exists(in_folder("data.tmp")));
}

} // namespace
