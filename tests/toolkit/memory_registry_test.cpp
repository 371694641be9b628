#include <gtest/gtest.h>

#include "toolkit/registry.h"

using toolkit::MemoryRegistry;

TEST(MemoryRegistry, CreatesParentsAndMatchesNamesRegardlessOfCase) {
    MemoryRegistry reg;
    EXPECT_TRUE(reg.CreateKey("tkffile\\Shell\\Open\\Command"));
    EXPECT_TRUE(reg.KeyExists("tkffile"));
    EXPECT_TRUE(reg.KeyExists("TKFFILE\\shell\\open"));
    EXPECT_TRUE(reg.KeyExists("TkfFile\\Shell\\OPEN\\command"));
    EXPECT_FALSE(reg.KeyExists("tkffile\\Shell\\Edit"));

    // A second spelling finds the key made first; the first spelling stays.
    EXPECT_TRUE(reg.SetDefaultValue("TKFFILE\\SHELL\\OPEN\\COMMAND", "\"/opt/tallyk\" \"%1\""));
    EXPECT_EQ(reg.DefaultValue("tkffile\\shell\\open\\command").value(), "\"/opt/tallyk\" \"%1\"");
    EXPECT_EQ(reg.SubKeys("tkffile"), std::vector<std::string>{"Shell"});
    EXPECT_EQ(reg.SubKeys("TKFFILE\\SHELL"), std::vector<std::string>{"Open"});
}

TEST(MemoryRegistry, ValuesAreUnsetUntilWrittenAndSetValueCreatesTheKey) {
    MemoryRegistry reg;
    EXPECT_FALSE(reg.DefaultValue(".tkf").has_value());
    ASSERT_TRUE(reg.CreateKey(".tkf"));
    EXPECT_FALSE(reg.DefaultValue(".tkf").has_value());
    ASSERT_TRUE(reg.SetDefaultValue(".tkf", ""));
    ASSERT_TRUE(reg.DefaultValue(".tkf").has_value());
    EXPECT_EQ(*reg.DefaultValue(".tkf"), "");
    ASSERT_TRUE(reg.SetDefaultValue("Applications\\tallyk\\shell", "open"));
    EXPECT_TRUE(reg.KeyExists("applications\\TALLYK"));
    EXPECT_FALSE(reg.DefaultValue("Applications\\tallyk").has_value());
    // Overwriting replaces the text.
    ASSERT_TRUE(reg.SetDefaultValue(".tkf", "tkffile"));
    EXPECT_EQ(*reg.DefaultValue(".TKF"), "tkffile");
}

TEST(MemoryRegistry, KeyWithSubkeysCannotBeDeleted) {
    MemoryRegistry reg;
    ASSERT_TRUE(reg.CreateKey("tkffile\\DefaultIcon"));
    ASSERT_TRUE(reg.CreateKey("tkffile\\Shell\\Open"));
    EXPECT_FALSE(reg.DeleteKey("tkffile"));
    EXPECT_FALSE(reg.DeleteKey("tkffile\\Shell"));
    EXPECT_TRUE(reg.KeyExists("tkffile\\Shell\\Open"));

    EXPECT_TRUE(reg.DeleteKey("TKFFILE\\shell\\OPEN"));
    EXPECT_TRUE(reg.DeleteKey("tkffile\\Shell"));
    EXPECT_FALSE(reg.DeleteKey("tkffile"));
    EXPECT_TRUE(reg.DeleteKey("tkffile\\DefaultIcon"));
    EXPECT_TRUE(reg.DeleteKey("tkffile"));
    EXPECT_FALSE(reg.KeyExists("tkffile"));
    // Missing keys and the root itself are refused.
    EXPECT_FALSE(reg.DeleteKey("tkffile"));
    EXPECT_FALSE(reg.DeleteKey(""));
    EXPECT_EQ(reg.Dump(), "");
}

TEST(MemoryRegistry, MalformedPathsAreRefused) {
    MemoryRegistry reg;
    EXPECT_FALSE(reg.CreateKey("a\\\\b"));
    EXPECT_FALSE(reg.CreateKey("\\a"));
    EXPECT_FALSE(reg.CreateKey("a\\"));
    EXPECT_FALSE(reg.SetDefaultValue("a\\\\b", "x"));
    EXPECT_EQ(reg.Dump(), "");
    ASSERT_TRUE(reg.CreateKey("a\\b"));
    EXPECT_FALSE(reg.KeyExists("a\\\\b"));
    EXPECT_FALSE(reg.DeleteKey("a\\b\\"));
}

TEST(MemoryRegistry, DumpListsEveryKeySortedWithUnsetValuesMarked) {
    MemoryRegistry reg;
    ASSERT_TRUE(reg.SetDefaultValue("tkffile", "Tallykey database"));
    ASSERT_TRUE(reg.SetDefaultValue(".tkf", "tkffile"));
    ASSERT_TRUE(reg.CreateKey("tkffile\\Shell"));
    ASSERT_TRUE(reg.SetDefaultValue("Applications\\tallyk", ""));
    EXPECT_EQ(reg.Dump(),
              ".tkf = \"tkffile\"\n"
              "Applications (value not set)\n"
              "Applications\\tallyk = \"\"\n"
              "tkffile = \"Tallykey database\"\n"
              "tkffile\\Shell (value not set)\n");

    // Two registries built in different orders and spellings compare equal.
    MemoryRegistry other;
    ASSERT_TRUE(other.CreateKey("TKFFILE\\Shell"));
    ASSERT_TRUE(other.SetDefaultValue("applications\\tallyk", ""));
    ASSERT_TRUE(other.SetDefaultValue("tkffile", "Tallykey database"));
    ASSERT_TRUE(other.SetDefaultValue(".tkf", "tkffile"));
    ASSERT_TRUE(other.CreateKey("Applications"));
    EXPECT_NE(other.Dump(), reg.Dump()); // spelling of first creation differs
    MemoryRegistry same;
    ASSERT_TRUE(same.CreateKey("tkffile\\Shell"));
    ASSERT_TRUE(same.SetDefaultValue("Applications\\tallyk", ""));
    ASSERT_TRUE(same.SetDefaultValue("TKFFILE", "Tallykey database"));
    ASSERT_TRUE(same.SetDefaultValue(".tkf", "tkffile"));
    EXPECT_EQ(same.Dump(), reg.Dump());
}
