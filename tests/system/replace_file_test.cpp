#include "system/replace_file.h"

#include "support/temp_folder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

namespace tallykey::system {
namespace {

namespace fs = std::filesystem;

// The names in the folder, so that a test sees what a replace left behind.
std::vector<std::string> Names(const test::TempFolder& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder.Path()))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

std::string Read(const std::string& path) {
    int error = 0;
    return ReadWholeFile(path, 1 << 20, error).value_or("<unreadable: " + ErrorText(error) + ">");
}

TEST(ReplaceFile, ReplacesAndFingerprintsWhatItWrote) {
    test::TempFolder folder;
    const std::string path = folder.File("a.tkf");
    folder.Write("a.tkf", "old contents");
    const ReplaceResult result = ReplaceFile(path, "new");
    ASSERT_TRUE(result.ok) << result.message;
    EXPECT_EQ(Read(path), "new");
    EXPECT_EQ(Names(folder), std::vector<std::string>{"a.tkf"});
    int error = 0;
    EXPECT_EQ(CheckFingerprint(path, result.fingerprint, error), FileCheck::Same);
}

TEST(ReplaceFile, KeepsTheOldFileWhenTheReplaceFails) {
    test::TempFolder folder;
    const std::string path = folder.File("a.tkf");
    folder.Write("a.tkf", "old contents");

    const ReplaceResult failed = ReplaceFile(path, {}, [](int fd) {
        int error = 0;
        (void)WriteBytes(fd, "half", 4, error);
        return Written{"No space left on device", 0};
    });
    EXPECT_FALSE(failed.ok);
    EXPECT_EQ(failed.message, "No space left on device");

    const ReplaceResult exists = ReplaceFile(path, "new", ReplaceOptions{nullptr, nullptr, true});
    EXPECT_FALSE(exists.ok);
    EXPECT_EQ(exists.message, ErrorText(EEXIST));

    fs::permissions(path, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    const ReplaceResult readOnly = ReplaceFile(path, "new");
    EXPECT_FALSE(readOnly.ok);
    EXPECT_EQ(readOnly.message, ErrorText(EACCES));
    fs::permissions(path, fs::perms::owner_write, fs::perm_options::add);

    const ReplaceResult folderTarget = ReplaceFile(folder.Path(), "new");
    EXPECT_EQ(folderTarget.message, ErrorText(EISDIR));

    EXPECT_EQ(Read(path), "old contents");
    EXPECT_EQ(Names(folder), std::vector<std::string>{"a.tkf"}) << "no temporary left";
}

TEST(ReplaceFile, RefusesAFileChangedSinceItsFingerprintAndRemovesStaleTemporaries) {
    test::TempFolder folder;
    const std::string path = folder.File("a.tkf");
    const ReplaceResult first = ReplaceFile(path, "first version");
    ASSERT_TRUE(first.ok) << first.message;

    // Another writer puts other bytes of the same size at the path.
    folder.Write("a.tkf", "other version");
    int error = 0;
    EXPECT_EQ(CheckFingerprint(path, first.fingerprint, error), FileCheck::Changed);
    ReplaceOptions options;
    options.expected = &first.fingerprint;
    const ReplaceResult refused = ReplaceFile(path, "mine", options);
    EXPECT_FALSE(refused.ok);
    EXPECT_TRUE(refused.changed);
    EXPECT_EQ(Read(path), "other version");

    // What an interrupted replace of this file left goes with the next replace.
    const std::string stale = "." + std::string("a.tkf") + std::string(TemporaryInfix) + "Xy12z9";
    folder.Write(stale, "half");
    fs::remove(path);
    EXPECT_EQ(CheckFingerprint(path, first.fingerprint, error), FileCheck::Missing);
    const ReplaceResult again = ReplaceFile(path, "mine", options); // a file gone is written again
    ASSERT_TRUE(again.ok) << again.message;
    EXPECT_EQ(Read(path), "mine");
    EXPECT_EQ(Names(folder), std::vector<std::string>{"a.tkf"});
}

TEST(FileLock, OneWriterAtATimeWhileReadersRead) {
    test::TempFolder folder;
    const std::string path = folder.File("a.tkf");
    folder.Write("a.tkf", "contents");
    FileLock first;
    ASSERT_EQ(first.Acquire(path, std::chrono::milliseconds(0)), FileLock::Status::Locked);
    FileLock second;
    EXPECT_EQ(second.Acquire(path, std::chrono::milliseconds(50)), FileLock::Status::Busy);
    EXPECT_EQ(Read(path), "contents") << "the lock keeps writers out, not readers";

    // The holder replaces the file it locked; the lock then names a file no longer there,
    // and the next writer locks the new one.
    ReplaceOptions held;
    held.heldLock = &first;
    const ReplaceResult replaced = ReplaceFile(path, "replaced", held);
    ASSERT_TRUE(replaced.ok) << replaced.message;
    EXPECT_EQ(Read(path), "replaced");
    EXPECT_EQ(second.Acquire(path, std::chrono::milliseconds(0)), FileLock::Status::Locked);
    EXPECT_EQ(first.Acquire(path, std::chrono::milliseconds(0)), FileLock::Status::Busy);
    second.Release();
    EXPECT_EQ(first.Acquire(path, std::chrono::milliseconds(0)), FileLock::Status::Locked);
    EXPECT_EQ(second.Acquire(folder.File("none.tkf"), std::chrono::milliseconds(0)), FileLock::Status::NoFile);
}

TEST(ReadWholeFile, RefusesWhatIsNotAWholeRegularFileWithItsReason) {
    test::TempFolder folder;
    folder.Write("a.ini", "12345");
    int error = 0;
    EXPECT_EQ(ReadWholeFile(folder.File("a.ini"), 5, error), "12345");
    EXPECT_EQ(ReadWholeFile(folder.File("a.ini"), 4, error), std::nullopt);
    EXPECT_EQ(error, EFBIG);
    EXPECT_EQ(ReadWholeFile(folder.File("none.ini"), 100, error), std::nullopt);
    EXPECT_EQ(error, ENOENT);
    EXPECT_EQ(ReadWholeFile(folder.Path(), 100, error), std::nullopt);
    EXPECT_EQ(error, EISDIR);
}

} // namespace
} // namespace tallykey::system
