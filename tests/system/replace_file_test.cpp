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

// The temporaries of "a.tkf" in the folder, so that a test sees what a replace left behind.
std::vector<std::string> Temporaries(const test::TempFolder& folder) {
    const std::string prefix = ".a.tkf" + std::string(TemporaryInfix);
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder.Path())) {
        const std::string name = entry.path().filename().string();
        if (name.size() == prefix.size() + 6 && name.starts_with(prefix))
            names.push_back(name);
    }
    return names;
}

std::string Read(const std::string& path) {
    int error = 0;
    return ReadWholeFile(path, 1 << 20, error).value_or("<unreadable: " + ErrorText(error) + ">");
}

TEST(AtomicReplace, ReplacesAndFingerprintsWhatItWrote) {
    test::TempFolder folder;
    const std::string path = folder.File("a.tkf");
    folder.Write("a.tkf", "old contents");
    const ReplaceResult result = AtomicReplace(path, "new");
    ASSERT_TRUE(result.ok) << result.message;
    EXPECT_EQ(Read(path), "new");
    EXPECT_EQ(Temporaries(folder), std::vector<std::string>{});
    int error = 0;
    EXPECT_EQ(CheckFingerprint(path, result.fingerprint, error), FileCheck::Same);
}

TEST(AtomicReplace, KeepsTheOldFileWhenTheReplaceFails) {
    test::TempFolder folder;
    const std::string path = folder.File("a.tkf");
    folder.Write("a.tkf", "old contents");

    const ReplaceResult failed = AtomicReplace(path, {}, [](int fd) {
        int error = 0;
        (void)WriteBytes(fd, "half", 4, error);
        return Written{"No space left on device", 0};
    });
    EXPECT_FALSE(failed.ok);
    EXPECT_EQ(failed.message, "No space left on device");

    ReplaceOptions newOnly;
    newOnly.mustNotExist = true;
    const ReplaceResult exists = AtomicReplace(path, "new", newOnly);
    EXPECT_FALSE(exists.ok);
    EXPECT_EQ(exists.message, ErrorText(EEXIST));

    fs::permissions(path, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    const ReplaceResult readOnly = AtomicReplace(path, "new");
    EXPECT_FALSE(readOnly.ok);
    EXPECT_EQ(readOnly.message, ErrorText(EACCES));
    fs::permissions(path, fs::perms::owner_write, fs::perm_options::add);

    const ReplaceResult folderTarget = AtomicReplace(folder.Path(), "new");
    EXPECT_EQ(folderTarget.message, ErrorText(EISDIR));

    EXPECT_EQ(Read(path), "old contents");
    EXPECT_EQ(Temporaries(folder), std::vector<std::string>{});
}

TEST(AtomicReplace, RefusesAFileChangedSinceItsFingerprintAndRemovesStaleTemporaries) {
    test::TempFolder folder;
    const std::string path = folder.File("a.tkf");
    const ReplaceResult first = AtomicReplace(path, "first version");
    ASSERT_TRUE(first.ok) << first.message;

    // Another writer puts other bytes of the same size at the path.
    folder.Write("a.tkf", "other version");
    int error = 0;
    EXPECT_EQ(CheckFingerprint(path, first.fingerprint, error), FileCheck::Changed);
    ReplaceOptions options;
    options.expected = &first.fingerprint;
    const ReplaceResult refused = AtomicReplace(path, "mine", options);
    EXPECT_FALSE(refused.ok);
    EXPECT_TRUE(refused.changed);
    EXPECT_EQ(Read(path), "other version");

    // What an interrupted replace of this file left goes with the next replace.
    const std::string stale = "." + std::string("a.tkf") + std::string(TemporaryInfix) + "Xy12z9";
    folder.Write(stale, "half");
    ASSERT_EQ(Temporaries(folder), std::vector<std::string>{stale});
    fs::remove(path);
    EXPECT_EQ(CheckFingerprint(path, first.fingerprint, error), FileCheck::Missing);
    const ReplaceResult again = AtomicReplace(path, "mine", options); // a file gone is written again
    ASSERT_TRUE(again.ok) << again.message;
    EXPECT_EQ(Read(path), "mine");
    EXPECT_EQ(Temporaries(folder), std::vector<std::string>{});
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

    // The holder replaces the file it locked, and the next writer locks the new one.
    ReplaceOptions held;
    held.heldLock = &first;
    const ReplaceResult replaced = AtomicReplace(path, "replaced", held);
    ASSERT_TRUE(replaced.ok) << replaced.message;
    EXPECT_EQ(Read(path), "replaced");
    first.Release();
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
