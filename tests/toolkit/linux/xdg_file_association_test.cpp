// The freedesktop association of the database file type, against the real
// desktop tools in a home of its own.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>

#include "support/temp_folder.h"
#include "toolkit/linux/xdg_file_association.h"

using namespace toolkit;
namespace fs = std::filesystem;

namespace {

TEST(XdgAssociation, ExecLineQuotesAsDesktopEntriesRequire) {
    EXPECT_EQ(DesktopExecLine("/opt/with spaces/tallyk"), "Exec=\"/opt/with spaces/tallyk\" %f");
    // Quote level: \" \` \$ \\; string level doubles every backslash; % doubled.
    EXPECT_EQ(DesktopExecLine("/a\"b`c$d\\e%f"),
              "Exec=\"/a\\\\\"b\\\\`c\\\\$d\\\\\\\\e%%f\" %f");
}

TEST(XdgAssociation, MimeAppsKeepsOtherProgramsLines) {
    const std::string mime = "application/x-tallykey";
    const std::string other =
        "[Added Associations]\n"
        "application/x-tallykey=viewer.desktop;\n"
        "\n"
        "[Default Applications]\n"
        "text/plain=editor.desktop\n"
        "\n"
        "[Removed Associations]\n";
    std::string with = SetDefaultApplication(other, mime, "tallykey.desktop");
    EXPECT_EQ(with,
              "[Added Associations]\napplication/x-tallykey=viewer.desktop;\n\n"
              "[Default Applications]\ntext/plain=editor.desktop\n"
              "application/x-tallykey=tallykey.desktop\n\n[Removed Associations]\n");
    EXPECT_EQ(SetDefaultApplication(with, mime, "tallykey.desktop"), with);
    EXPECT_EQ(DefaultApplication(with, mime), "tallykey.desktop");
    EXPECT_EQ(RemoveDefaultApplication(with, mime, "tallykey.desktop"), other);

    // Another program's default goes behind ours and comes back on removal.
    const std::string theirs = "[Default Applications]\nAPPLICATION/X-TALLYKEY = keepass.desktop;\n";
    with = SetDefaultApplication(theirs, mime, "tallykey.desktop");
    EXPECT_EQ(with, "[Default Applications]\napplication/x-tallykey=tallykey.desktop;keepass.desktop;\n");
    EXPECT_EQ(DefaultApplication(with, mime), "tallykey.desktop");
    EXPECT_EQ(RemoveDefaultApplication(with, mime, "tallykey.desktop"),
              "[Default Applications]\napplication/x-tallykey=keepass.desktop;\n");
    // A line that does not name us stays exactly as it is.
    EXPECT_EQ(RemoveDefaultApplication(theirs, mime, "tallykey.desktop"), theirs);

    // From nothing, and back to nothing; a last line without a break.
    with = SetDefaultApplication("", mime, "tallykey.desktop");
    EXPECT_EQ(with, "[Default Applications]\napplication/x-tallykey=tallykey.desktop\n");
    EXPECT_EQ(RemoveDefaultApplication(with, mime, "tallykey.desktop"), "");
    EXPECT_EQ(SetDefaultApplication("[Default Applications]\na/b=c.desktop", mime, "t.desktop"),
              "[Default Applications]\na/b=c.desktop\napplication/x-tallykey=t.desktop\n");
}

class XdgDesktop : public ::testing::Test {
protected:
    tallykey::test::TempFolder home;
    std::string data = home.File("data");
    std::string config = home.File("config");
    XdgFileAssociation association{data, config};
    const std::string exe = home.File("Tally Key/tallyk");

    void SetUp() override {
        // Desktops skip entries whose program is missing: give it one.
        fs::create_directories(home.File("Tally Key"));
        fs::create_symlink("/bin/true", exe);
    }
};

TEST_F(XdgDesktop, RegisterDetectAndRemoveWithTheRealTools) {
    home.Write("config/mimeapps.list",
               "[Default Applications]\ntext/html=browser.desktop\n");
    home.Write("data/applications/other.desktop",
               "[Desktop Entry]\nType=Application\nName=Other\nExec=other %f\nMimeType=text/x-other;\n");
    home.Write("data/mime/packages/other.xml",
               "<?xml version=\"1.0\"?>\n<mime-info xmlns=\"http://www.freedesktop.org/standards/shared-mime-info\">"
               "<mime-type type=\"text/x-other\"><glob pattern=\"*.oth\"/></mime-type></mime-info>\n");
    // The hidden entry of an earlier version, which hid the installed menu entry of that name.
    home.Write("data/applications/tallykey.desktop",
               "[Desktop Entry]\nType=Application\nName=Tallykey\nExec=tallyk %f\nNoDisplay=true\n"
               "MimeType=application/x-tallykey;\n");
    EXPECT_FALSE(association.IsRegistered(exe));

    EXPECT_TRUE(association.Register(exe).ok);
    EXPECT_TRUE(association.IsRegistered(exe));
    EXPECT_FALSE(fs::exists(data + "/applications/tallykey.desktop"));
    EXPECT_FALSE(association.IsRegistered("/usr/bin/tallyk")); // points at another copy
    EXPECT_TRUE(fs::is_regular_file(association.IconPath()));
    EXPECT_NE(home.Read("data/applications/tallykey-files.desktop").find("\nExec=\"" + exe + "\" %f\n"),
              std::string::npos);
    EXPECT_EQ(home.Read("config/mimeapps.list"),
              "[Default Applications]\ntext/html=browser.desktop\n"
              "application/x-tallykey=tallykey-files.desktop\n");
    // What the desktop tools made of it.
    if (fs::exists(data + "/mime/globs2")) {
        EXPECT_NE(home.Read("data/mime/globs2").find("application/x-tallykey:*.tkf"), std::string::npos);
        EXPECT_NE(home.Read("data/mime/globs2").find("text/x-other:*.oth"), std::string::npos);
    } else {
        ADD_FAILURE() << "update-mime-database did not run";
    }
    if (fs::exists(data + "/applications/mimeinfo.cache")) {
        EXPECT_NE(home.Read("data/applications/mimeinfo.cache").find("application/x-tallykey=tallykey-files.desktop;"),
                  std::string::npos);
    } else {
        ADD_FAILURE() << "update-desktop-database did not run";
    }

    // GLib's view of it, where its tool is installed.
    if (fs::exists("/usr/bin/gio")) {
        const std::string command = "XDG_DATA_HOME='" + data + "' XDG_CONFIG_HOME='" + config +
                                    "' XDG_DATA_DIRS=/usr/share gio mime application/x-tallykey 2>&1";
        std::string output;
        if (FILE* pipe = popen(command.c_str(), "r")) {
            char buffer[256];
            while (fgets(buffer, sizeof buffer, pipe))
                output += buffer;
            pclose(pipe);
        }
        // The quotes around the type depend on the locale.
        const std::string first = output.substr(0, output.find('\n'));
        EXPECT_TRUE(first.starts_with("Default application for") &&
                    first.ends_with(": tallykey-files.desktop")) << output;
    }

    // Any one piece missing or changed: not registered.
    home.Write("config/mimeapps.list", "[Default Applications]\napplication/x-tallykey=other.desktop\n");
    EXPECT_FALSE(association.IsRegistered(exe));
    association.Register(exe);
    EXPECT_TRUE(association.IsRegistered(exe));

    association.Unregister(exe);
    EXPECT_FALSE(association.IsRegistered(exe));
    EXPECT_FALSE(fs::exists(association.MimePackagePath()));
    EXPECT_FALSE(fs::exists(association.IconPath()));
    EXPECT_FALSE(fs::exists(association.DesktopEntryPath()));
    EXPECT_EQ(home.Read("config/mimeapps.list"), "[Default Applications]\napplication/x-tallykey=other.desktop\n");
    EXPECT_TRUE(fs::exists(data + "/mime/packages/other.xml"));
    EXPECT_TRUE(fs::exists(data + "/applications/other.desktop"));
    EXPECT_EQ(home.Read("data/mime/globs2").find("x-tallykey"), std::string::npos);
    EXPECT_NE(home.Read("data/mime/globs2").find("text/x-other:*.oth"), std::string::npos);
    EXPECT_EQ(home.Read("data/applications/mimeinfo.cache").find("x-tallykey"), std::string::npos);
}

// Every path below `root` with its bytes, for comparing whole states.
std::map<std::string, std::string> Tree(const tallykey::test::TempFolder& root) {
    std::map<std::string, std::string> tree;
    for (const fs::directory_entry& e : fs::recursive_directory_iterator(root.Path())) {
        const std::string name = fs::relative(e.path(), root.Path()).string();
        tree[name] = e.is_symlink() || e.is_directory() ? "" : root.Read(name);
    }
    return tree;
}

TEST_F(XdgDesktop, AUsersOwnFilesOfTheSameNamesComeBackByteForByte) {
    association.SetRefreshCaches(false);
    home.Write("config/mimeapps.list", "[Default Applications]\napplication/x-tallykey=mine.desktop\n");
    home.Write("data/applications/tallykey-files.desktop",
               "[Desktop Entry]\nType=Application\nName=Mine\nExec=mine %f\nNoDisplay=true\n"
               "MimeType=application/x-tallykey;\n");
    home.Write("data/icons/hicolor/48x48/mimetypes/application-x-tallykey.png", "my own picture");
    // A package as versions before the mark wrote it is the program's own.
    home.Write("data/mime/packages/tallykey.xml",
               "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
               "<mime-info xmlns=\"http://www.freedesktop.org/standards/shared-mime-info\">\n"
               "  <mime-type type=\"application/x-tallykey\">\n    <comment>Tallykey File</comment>\n"
               "    <icon name=\"application-x-tallykey\"/>\n    <glob pattern=\"*.tkf\"/>\n"
               "  </mime-type>\n</mime-info>\n");
    auto users = Tree(home);
    users.erase("data/mime/packages/tallykey.xml");

    for (int twice = 0; twice < 2; ++twice) {
        const RegistrationResult result = association.Register(exe);
        EXPECT_TRUE(result.ok) << result.message;
        EXPECT_TRUE(association.IsRegistered(exe));
        EXPECT_EQ(home.Read("data/applications/tallykey-files.desktop.user-saved"),
                  users.at("data/applications/tallykey-files.desktop"));
        EXPECT_EQ(home.Read("data/icons/hicolor/48x48/mimetypes/application-x-tallykey.png.user-saved"),
                  "my own picture");
        EXPECT_FALSE(fs::exists(data + "/mime/packages/tallykey.xml.user-saved"));
    }
    association.Unregister(exe);
    EXPECT_FALSE(association.IsRegistered(exe));
    EXPECT_EQ(Tree(home), users);
}

TEST_F(XdgDesktop, AFailedRegistrationChangesNothing) {
    association.SetRefreshCaches(false);
    home.Write("config/mimeapps.list", "[Default Applications]\ntext/html=browser.desktop\n");
    home.Write("data/mime/packages/tallykey.xml", "<!-- my own -->\n");
    home.Write("file", "");
    const auto before = Tree(home);
    // Folders that cannot be made, even for root: their path goes through a file.
    XdgFileAssociation noData{home.File("file/data"), config}, noConfig{data, home.File("file/config")};
    for (XdgFileAssociation* broken : {&noData, &noConfig}) {
        broken->SetRefreshCaches(false);
        const RegistrationResult result = broken->Register(exe);
        EXPECT_FALSE(result.ok);
        EXPECT_NE(result.message.find("/file/"), std::string::npos) << result.message;
        EXPECT_FALSE(broken->IsRegistered(exe));
        EXPECT_EQ(Tree(home), before);
    }
    // A failure after the user's package was moved aside puts it back.
    home.Write("data/applications/tallykey-files.desktop", "[Desktop Entry]\nName=Mine\n");
    home.Write("data/applications/tallykey-files.desktop.user-saved", "older\n");
    const auto inTheWay = Tree(home);
    const RegistrationResult result = association.Register(exe);
    EXPECT_FALSE(result.ok);
    EXPECT_NE(result.message.find("tallykey-files.desktop.user-saved already exists"), std::string::npos)
        << result.message;
    EXPECT_EQ(Tree(home), inTheWay);
}

TEST_F(XdgDesktop, FollowsTheEnvironmentAndRemovesAFileItMade) {
    const char* oldData = std::getenv("XDG_DATA_HOME");
    const char* oldConfig = std::getenv("XDG_CONFIG_HOME");
    const std::string keepData = oldData ? oldData : "", keepConfig = oldConfig ? oldConfig : "";
    setenv("XDG_DATA_HOME", data.c_str(), 1);
    setenv("XDG_CONFIG_HOME", config.c_str(), 1);
    XdgFileAssociation fromEnvironment;
    fromEnvironment.SetRefreshCaches(false);
    EXPECT_EQ(fromEnvironment.MimeAppsPath(), config + "/mimeapps.list");
    EXPECT_EQ(fromEnvironment.DesktopEntryPath(), data + "/applications/tallykey-files.desktop");
    fromEnvironment.Register(exe);
    EXPECT_TRUE(association.IsRegistered(exe));
    fromEnvironment.Unregister(exe);
    EXPECT_FALSE(fs::exists(config + "/mimeapps.list")); // it held only our line
    oldData ? setenv("XDG_DATA_HOME", keepData.c_str(), 1) : unsetenv("XDG_DATA_HOME");
    oldConfig ? setenv("XDG_CONFIG_HOME", keepConfig.c_str(), 1) : unsetenv("XDG_CONFIG_HOME");
}

} // namespace
