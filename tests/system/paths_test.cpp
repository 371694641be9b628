#include "system/file_system.h"

#include <gtest/gtest.h>

namespace tallykey::system {
namespace {

constexpr PathStyle Posix = PathStyle::Posix;
constexpr PathStyle Windows = PathStyle::Windows;

TEST(Paths, ParentFolderKeepsRootsAndIgnoresTrailingSeparators) {
    struct Case {
        PathStyle style;
        const char* path;
        const char* parent;
        const char* name;
    };
    const Case cases[] = {
        {Posix, "/", "/", ""},
        {Posix, "/a", "/", "a"},
        {Posix, "/a/b.tkf", "/a", "b.tkf"},
        {Posix, "a/b/", "a", "b"},
        {Posix, "a//b", "a", "b"},
        {Posix, "b.tkf", ".", "b.tkf"},
        {Posix, "a\\b", ".", "a\\b"}, // a backslash is part of a POSIX name
        {Windows, "C:\\", "C:\\", ""},
        {Windows, "C:\\a.tkf", "C:\\", "a.tkf"},
        {Windows, "C:\\a\\b\\", "C:\\a", "b"},
        {Windows, "C:/a/b", "C:/a", "b"},
        {Windows, "C:a", "C:", "a"},
        {Windows, "C:", "C:", ""},
        {Windows, "\\\\server\\share\\a", "\\\\server\\share\\", "a"},
        {Windows, "\\\\server\\share\\", "\\\\server\\share\\", ""},
        {Windows, "\\a", "\\", "a"},
        {Windows, "a", ".", "a"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ParentFolder(c.path, c.style), c.parent) << c.path;
        EXPECT_EQ(FileNamePart(c.path, c.style), c.name) << c.path;
    }
}

TEST(Paths, JoinPutsOneSeparatorAndKeepsAbsoluteNames) {
    EXPECT_EQ(JoinPath("/", "a", Posix), "/a");
    EXPECT_EQ(JoinPath("/home/u", "a", Posix), "/home/u/a");
    EXPECT_EQ(JoinPath("/home/u/", "a", Posix), "/home/u/a");
    EXPECT_EQ(JoinPath("", "a", Posix), "a");
    EXPECT_EQ(JoinPath("/x", "/etc/a", Posix), "/etc/a");
    EXPECT_EQ(JoinPath("/x", "", Posix), "/x");
    EXPECT_EQ(JoinPath("C:\\", "a", Windows), "C:\\a");
    EXPECT_EQ(JoinPath("C:\\Program Files", "a.lng", Windows), "C:\\Program Files\\a.lng");
    EXPECT_EQ(JoinPath("C:/x/", "a", Windows), "C:/x/a");
    EXPECT_EQ(JoinPath("C:", "a", Windows), "C:a"); // the drive's current folder
    EXPECT_EQ(JoinPath("C:\\x", "D:\\a", Windows), "D:\\a");
    EXPECT_EQ(JoinPath("C:\\x", "\\\\s\\h\\a", Windows), "\\\\s\\h\\a");

    EXPECT_EQ(WithSeparator("/a", Posix), "/a/");
    EXPECT_EQ(WithSeparator("/", Posix), "/");
    EXPECT_EQ(WithSeparator("", Posix), "");
    EXPECT_EQ(WithSeparator("C:\\a", Windows), "C:\\a\\");
    EXPECT_EQ(WithSeparator("C:/a/", Windows), "C:/a/");
}

TEST(Paths, ProgramFolderHoldsTheRunningExecutable) {
    const std::string exe = ExecutablePath();
    ASSERT_FALSE(exe.empty());
    const std::string folder = ProgramFolder();
    EXPECT_EQ(JoinPath(folder, FileNamePart(exe)), exe);
    EXPECT_EQ(WithSeparator(folder), folder);
}

} // namespace
} // namespace tallykey::system
