// The Windows key layout of the file-type registration, on the in-memory registry.
#include <gtest/gtest.h>

#include "toolkit/registry_file_association.h"
#include "toolkit/registry.h"

using namespace toolkit;

namespace {

const std::string kExe = "C:\\Program Files\\Tallykey\\tallyk.exe";

void RegisterTkf(Registry& registry, const std::string& exe, int* notified = nullptr) {
    RegisterFileType(registry, ".TKF", "Tallykey File", "Open", exe, 1, true, true,
                     [notified] { if (notified) ++*notified; });
}

TEST(FileType, RegisteringWritesTheSevenRowsOnceAndForAll) {
    MemoryRegistry registry;
    registry.CreateKey("Applications");
    int notified = 0;
    RegisterTkf(registry, kExe, &notified);
    EXPECT_EQ(notified, 1);
    EXPECT_EQ(FileTypeClassName(".TKF"), "tkffile");
    // The path with its blanks stays unquoted; only %1 is in quotes.
    const std::string command = "C:\\Program Files\\Tallykey\\tallyk.exe \"%1\"";
    EXPECT_EQ(registry.DefaultValue("applications\\TALLYK.EXE\\shell\\open\\command"), command);
    EXPECT_EQ(registry.DefaultValue(".tkf"), "tkffile");
    EXPECT_EQ(registry.DefaultValue("tkffile"), "Tallykey File");
    EXPECT_EQ(registry.DefaultValue("tkffile\\DefaultIcon"), kExe + ",1");
    EXPECT_EQ(registry.DefaultValue("tkffile\\Shell"), "Open");
    EXPECT_TRUE(registry.KeyExists("tkffile\\Shell\\Open"));
    EXPECT_FALSE(registry.DefaultValue("tkffile\\Shell\\Open"));
    EXPECT_EQ(registry.DefaultValue("tkffile\\Shell\\Open\\Command"), command);
    EXPECT_TRUE(FileTypeRegistered(registry, kExe));

    const std::string once = registry.Dump();
    RegisterTkf(registry, kExe);
    EXPECT_EQ(registry.Dump(), once);

    UnregisterFileType(registry, kExe);
    MemoryRegistry untouched;
    untouched.CreateKey("Applications");
    EXPECT_EQ(registry.Dump(), untouched.Dump());
    EXPECT_FALSE(FileTypeRegistered(registry, kExe));
}

TEST(FileType, PreexistingApplicationEntryIsKeptOnRegisterAndRemovedWhenOnlyOurs) {
    MemoryRegistry registry;
    registry.SetDefaultValue("Applications\\tallyk.exe\\shell\\open\\command", "D:\\old\\tallyk.exe \"%1\"");
    RegisterTkf(registry, kExe);
    EXPECT_EQ(registry.DefaultValue("Applications\\tallyk.exe\\Shell\\Open\\Command"),
              "D:\\old\\tallyk.exe \"%1\"");
    EXPECT_EQ(registry.DefaultValue("tkffile\\Shell\\Open\\Command"), kExe + " \"%1\"");
    UnregisterFileType(registry, kExe);
    EXPECT_FALSE(registry.KeyExists("Applications\\tallyk.exe"));
    EXPECT_TRUE(registry.KeyExists("Applications"));
    EXPECT_FALSE(registry.KeyExists(".tkf"));
    EXPECT_FALSE(registry.KeyExists("tkffile"));
}

TEST(FileType, OtherSoftwaresSubkeysKeepTheirParents) {
    MemoryRegistry registry;
    RegisterTkf(registry, kExe);
    registry.SetDefaultValue("tkffile\\Shell\\Print\\Command", "printer.exe \"%1\"");
    registry.SetDefaultValue(".tkf\\OpenWithProgids", "");
    registry.SetDefaultValue("Applications\\tallyk.exe\\SupportedTypes", "");
    UnregisterFileType(registry, kExe);
    EXPECT_EQ(registry.DefaultValue("tkffile\\Shell\\Print\\Command"), "printer.exe \"%1\"");
    EXPECT_FALSE(registry.KeyExists("tkffile\\Shell\\Open"));
    EXPECT_FALSE(registry.KeyExists("tkffile\\DefaultIcon"));
    EXPECT_TRUE(registry.KeyExists(".tkf\\OpenWithProgids"));
    EXPECT_TRUE(registry.KeyExists("Applications\\tallyk.exe\\SupportedTypes"));
    EXPECT_FALSE(registry.KeyExists("Applications\\tallyk.exe\\shell"));
    // Still all three keys: the check box would show the type as registered.
    EXPECT_TRUE(FileTypeRegistered(registry, kExe));
}

TEST(FileType, VerbAndIconFlagsAndTheAssociationInterface) {
    MemoryRegistry registry;
    RegisterFileType(registry, ".Abc", "Abc File", "Edit", "/opt/x/abc", -1, false, true);
    EXPECT_FALSE(registry.KeyExists("abcfile\\DefaultIcon"));
    EXPECT_EQ(registry.DefaultValue("abcfile\\Shell"), "");
    EXPECT_EQ(registry.DefaultValue("abcfile\\Shell\\Edit\\Command"), "/opt/x/abc \"%1\"");
    EXPECT_TRUE(registry.KeyExists("Applications\\abc\\Shell\\Open\\Command"));
    RegisterFileType(registry, ".xyz", "Xyz", "Open", "/opt/x/xyz", 0, true, false);
    EXPECT_FALSE(registry.KeyExists("xyzfile\\Shell"));

    MemoryRegistry windows;
    int notified = 0;
    RegistryFileAssociation association(windows, [&notified] { ++notified; });
    EXPECT_FALSE(association.IsRegistered(kExe));
    EXPECT_TRUE(association.Register(kExe).ok);
    EXPECT_TRUE(association.IsRegistered(kExe));
    EXPECT_FALSE(association.IsRegistered("C:\\elsewhere\\other.exe"));
    EXPECT_EQ(notified, 1);
    association.Unregister(kExe);
    EXPECT_FALSE(association.IsRegistered(kExe));
    EXPECT_EQ(notified, 1); // removal does not notify

    // A path without a file name makes a key name the registry refuses.
    const RegistrationResult refused = association.Register("C:\\Tallykey\\");
    EXPECT_FALSE(refused.ok);
    EXPECT_EQ(refused.message, "a registry key could not be written");
}

} // namespace
