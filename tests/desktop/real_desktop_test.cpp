// The desktop integration against a real X11 desktop: the program runs on a
// private Xvfb with its real services, another program receives the paste,
// and a stand-in panel hosts the tray icon.
#include <chrono>
#include <cstdio>
#include <iostream>

#include "desktop_test.h"
#include "support/x11_session.h"
#include "toolkit/controls.h"

// Xlib last: its macros clash with the names above.
#include "support/x11_desk.h"

namespace tallykey::test {
namespace {

constexpr const char* kLogin = "alice";
constexpr const char* kPassword = "s3cret";

// The file whose appearance ends a child's wait.
std::string DoneFile() {
    const char* file = std::getenv("TALLYKEY_DONE_FILE");
    return file ? file : "";
}

bool Exists(const std::string& path) { return ::access(path.c_str(), F_OK) == 0; }

void Say(const std::string& line) { std::cout << line << std::endl; }

// The program's main window with the real services and its own settings file.
class RealProgram {
public:
    RealProgram() {
        TestApp();
        SetSettingsFilePath(dir.File("tallyk.ini"));
        Settings() = TSettings{};
        form = std::make_unique<MainForm>();
        form->Initialize();
        form->Show();
        TestApp().ProcessMessages();
        TDatabase db;
        AppendGroup(db, "Web", 3);
        AppendItem(db, 0, "Shop", kLogin, kPassword, "shop.example.com", "", 17);
        Parts(*form).Db = db;
        form->RebuildTree();
    }
    ~RealProgram() {
        form->OnCloseQuery = nullptr;
        form.reset();
        SetSettingsFilePath(std::string());
    }
    void SelectEntry() { Parts(*form).GroupTree->Select(Parts(*form).Db.Items.at(0).at(0).Node); }

    TempFolder dir;
    std::unique_ptr<MainForm> form;
};

// Child: the program in "Login >> password" mode with the entry selected.
TEST(RealDesktopChild, LoginThenPassword) {
    if (!InX11Child())
        GTEST_SKIP() << "runs inside RealDesktop.LoginThenPasswordPastesIntoAnotherProgram";
    RealProgram program;
    Settings().QuickCopyItem = 5;
    program.SelectEntry();
    toolkit::Services& platform = toolkit::Platform();
    ASSERT_TRUE(platform.hotKeys->IsRegistered(kQuickCopyHotKeyId));
    ASSERT_EQ(platform.clipboard->Text(), kLogin);
    Say("ARMED");
    // Serve the clipboard (and catch the key) until the other side is done.
    EXPECT_TRUE(PumpUntil([] { return Exists(DoneFile()); }, 60000));
    EXPECT_FALSE(platform.hotKeys->IsRegistered(kQuickCopyHotKeyId));
    EXPECT_EQ(platform.clipboard->Text(), kPassword);
}

// Child: another program with a focused edit box that reports each paste.
TEST(RealDesktopChild, PasteTarget) {
    if (!InX11Child())
        GTEST_SKIP() << "runs inside RealDesktop.LoginThenPasswordPastesIntoAnotherProgram";
    TestApp();
    toolkit::Window window(toolkit::WindowStyle::Dialog);
    window.SetCaption("Paste target");
    window.SetClientSize(300, 40);
    toolkit::Edit edit(window);
    edit.SetBounds(8, 8, 280, 21);
    edit.OnChange = [&] { Say("PASTED:" + edit.Text() + ":END"); };
    window.Show();
    edit.SetFocus();
    TestApp().ProcessMessages();
    Say("READY");
    EXPECT_TRUE(PumpUntil([] { return Exists(DoneFile()); }, 60000));
}

// The program's own test `test` as a child on `x`; it ends when `done` appears.
class ProgramChild : public X11Child {
public:
    ProgramChild(const Xvfb& x, const std::string& test, const std::string& done)
        : X11Child(x, test, {"TALLYKEY_DONE_FILE=" + done, "TALLYKEY_ALSA_DEVICE=null"}) {}
};

std::string Trim(std::string text) {
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r'))
        text.pop_back();
    return text;
}

TEST(RealDesktop, LoginThenPasswordPastesIntoAnotherProgram) {
    if (!HaveProgram("Xvfb") || !HaveProgram("xdotool") || !HaveProgram("xclip"))
        GTEST_SKIP() << "Xvfb, xdotool or xclip not installed";
    Xvfb x;
    ASSERT_TRUE(x.Started());
    TempFolder dir;
    const std::string done = dir.File("done");

    ProgramChild target(x, "RealDesktopChild.PasteTarget", done);
    ASSERT_TRUE(target.WaitForOutput("READY")) << target.Output();
    ProgramChild program(x, "RealDesktopChild.LoginThenPassword", done);
    ASSERT_TRUE(program.WaitForOutput("ARMED")) << program.Output();

    // The other program has the keyboard focus.
    std::string id;
    ASSERT_EQ(x.Run({"xdotool", "search", "--name", "^Paste target$"}, &id), 0);
    ASSERT_EQ(x.Run({"xdotool", "windowfocus", "--sync", Trim(id)}), 0);

    std::string clip;
    ASSERT_EQ(x.Run({"xclip", "-o", "-selection", "clipboard"}, &clip), 0);
    EXPECT_EQ(clip, kLogin);

    // Ctrl+V in the other program: the program catches it, passes it on, and
    // the login is pasted...
    ASSERT_EQ(x.Run({"xdotool", "key", "ctrl+v"}), 0);
    ASSERT_TRUE(target.WaitForOutput(std::string("PASTED:") + kLogin + ":END", 10000)) << target.Output();
    auto pasted = std::chrono::steady_clock::now();
    // ...and about half a second later the clipboard holds the password.
    auto deadline = pasted + std::chrono::seconds(10);
    while (Trim(clip) != kPassword && std::chrono::steady_clock::now() < deadline)
        x.Run({"xclip", "-o", "-selection", "clipboard"}, &clip);
    EXPECT_EQ(clip, kPassword);
    std::printf("password on the clipboard %lld ms after the login was pasted\n",
                static_cast<long long>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                           std::chrono::steady_clock::now() - pasted)
                                           .count()));

    // The next two Ctrl+V are ordinary pastes of the password.
    ASSERT_EQ(x.Run({"xdotool", "key", "ctrl+v"}), 0);
    EXPECT_TRUE(target.WaitForOutput(std::string("PASTED:") + kLogin + kPassword + ":END", 10000)) << target.Output();
    ASSERT_EQ(x.Run({"xdotool", "key", "ctrl+v"}), 0);
    EXPECT_TRUE(target.WaitForOutput(std::string("PASTED:") + kLogin + kPassword + kPassword + ":END", 10000))
        << target.Output();

    WriteFile(done, "");
    EXPECT_EQ(program.WaitPumping(nullptr, 30000), 0) << program.Output();
    EXPECT_EQ(target.WaitPumping(nullptr, 30000), 0) << target.Output();
}

// Child: the program minimising to the tray on a copy, and back on a click.
TEST(RealDesktopChild, MinimiseToTray) {
    if (!InX11Child())
        GTEST_SKIP() << "runs inside RealDesktop.MinimiseToTrayShowsOneIconAndAClickRestores";
    RealProgram program;
    Settings().MinimizeToTray = true;
    Settings().MinOnCopy = true;
    program.SelectEntry();
    toolkit::TrayIcon& tray = *toolkit::Platform().trayIcon;
    ASSERT_TRUE(PumpUntil([&] { return tray.Available(); }, 10000));
    toolkit::input::ClickOn(*Parts(*program.form).CopyPasswordButton);
    EXPECT_FALSE(program.form->IsShown());
    EXPECT_EQ(tray.IconCount(), 1);
    EXPECT_EQ(toolkit::Platform().clipboard->Text(), kPassword);
    Say("IN TRAY");
    ASSERT_TRUE(PumpUntil([&] { return program.form->IsShown(); }, 20000));
    EXPECT_EQ(tray.IconCount(), 0);
    Say("RESTORED");
    EXPECT_TRUE(PumpUntil([] { return Exists(DoneFile()); }, 60000));
}

TEST(RealDesktop, MinimiseToTrayShowsOneIconAndAClickRestores) {
    if (!HaveProgram("Xvfb") || !HaveProgram("xdotool"))
        GTEST_SKIP() << "Xvfb or xdotool not installed";
    Xvfb x;
    ASSERT_TRUE(x.Started());
    TrayOwner panel(x.Display().c_str());
    ASSERT_TRUE(panel.Open());
    TempFolder dir;
    const std::string done = dir.File("done");

    ProgramChild program(x, "RealDesktopChild.MinimiseToTray", done);
    ASSERT_TRUE(program.WaitForOutput("IN TRAY")) << program.Output();
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (panel.DockRequests().empty() && std::chrono::steady_clock::now() < deadline)
        program.ReadOutput(10);
    ASSERT_EQ(panel.DockRequests().size(), 1u);
    // No window of the program is to be seen.
    std::string visible;
    EXPECT_NE(x.Run({"xdotool", "search", "--onlyvisible", "--name", "Tallykey 0\\.4$"}, &visible), 0) << visible;

    // A left click on the icon brings the program back.
    panel.Embed(panel.DockRequests()[0]);
    ASSERT_EQ(x.Run({"xdotool", "mousemove", "--window", std::to_string(panel.DockRequests()[0]), "8", "8", "click",
                     "1"}),
              0);
    EXPECT_TRUE(program.WaitForOutput("RESTORED")) << program.Output();
    EXPECT_EQ(x.Run({"xdotool", "search", "--onlyvisible", "--name", "Tallykey 0\\.4$"}, &visible), 0);
    WriteFile(done, "");
    EXPECT_EQ(program.WaitPumping(nullptr, 30000), 0) << program.Output();
}

// Child: a copy sends the program to the taskbar and the taskbar brings it
// back; with "Minimize to tray" then ticked, the next copy sends it to the
// tray, and one click on the icon brings it back for good.
TEST(RealDesktopChild, TrayAfterTheTaskbar) {
    if (!InX11Child())
        GTEST_SKIP() << "runs inside RealDesktop.TheFirstClickOnTheTrayIconRestoresAfterATaskbarMinimise";
    RealProgram program;
    MainForm& form = *program.form;
    Desk desk;
    ASSERT_TRUE(desk.Open());
    Settings().MinOnCopy = true;
    program.SelectEntry();
    unsigned long w = 0;
    ASSERT_TRUE(PumpUntil([&] { return (w = desk.Find(form.Caption())) && desk.Active(w) && form.HasFocus(); }, 30000));
    toolkit::input::ClickOn(*Parts(form).CopyPasswordButton);
    EXPECT_EQ(desk.State(w), Desk::kIconic); // done when the window manager has done it
    ASSERT_TRUE(PumpUntil([&] { return form.IsMinimized(); }, 30000));
    desk.Activate(w);
    ASSERT_TRUE(PumpUntil([&] { return desk.State(w) == Desk::kNormal && !form.IsMinimized() && form.HasFocus(); },
                          30000))
        << desk.State(w) << form.IsMinimized() << form.HasFocus();

    Settings().MinimizeToTray = true;
    toolkit::TrayIcon& tray = *toolkit::Platform().trayIcon;
    ASSERT_TRUE(PumpUntil([&] { return tray.Available(); }, 10000));
    toolkit::input::ClickOn(*Parts(form).CopyPasswordButton);
    EXPECT_FALSE(form.IsShown());
    EXPECT_EQ(tray.IconCount(), 1);
    Say("IN TRAY");
    ASSERT_TRUE(PumpUntil([&] { return form.IsShown() && tray.IconCount() == 0; }, 30000));
    EXPECT_TRUE(PumpUntil([&] { return desk.State(w) == Desk::kNormal; }, 30000)) << desk.State(w);
    Say("RESTORED");
    EXPECT_TRUE(PumpUntil([] { return Exists(DoneFile()); }, 60000));
    EXPECT_EQ(desk.State(w), Desk::kNormal);
    EXPECT_TRUE(form.IsShown());
    EXPECT_EQ(tray.IconCount(), 0);
}

TEST(RealDesktop, TheFirstClickOnTheTrayIconRestoresAfterATaskbarMinimise) {
    if (!HaveProgram("Xvfb") || !HaveProgram("openbox") || !HaveProgram("xdotool"))
        GTEST_SKIP() << "Xvfb, openbox or xdotool not installed";
    Xvfb x;
    ASSERT_TRUE(x.Started());
    Process wm({"openbox"}, {x.DisplayEnv()});
    ASSERT_TRUE(Desk(x.Display().c_str()).WindowManagerRuns());
    TrayOwner panel(x.Display().c_str());
    ASSERT_TRUE(panel.Open());
    TempFolder dir;
    const std::string done = dir.File("done");

    ProgramChild program(x, "RealDesktopChild.TrayAfterTheTaskbar", done);
    ASSERT_TRUE(program.WaitForOutput("IN TRAY", 60000)) << program.Output();
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (panel.DockRequests().empty() && std::chrono::steady_clock::now() < deadline)
        program.ReadOutput(10);
    ASSERT_EQ(panel.DockRequests().size(), 1u);
    const unsigned long icon = panel.DockRequests()[0];
    panel.Embed(icon);
    ASSERT_EQ(x.Run({"xdotool", "mousemove", "--window", std::to_string(icon), "8", "8", "click", "1"}), 0);
    EXPECT_TRUE(program.WaitForOutput("RESTORED", 60000)) << program.Output();
    WriteFile(done, "");
    EXPECT_EQ(program.WaitPumping(nullptr, 30000), 0) << program.Output();
    EXPECT_EQ(panel.DockRequests().size(), 1u) << "the icon was docked again";
}

} // namespace
} // namespace tallykey::test

namespace tallykey::test {
namespace {

// Waits until xdotool finds a window whose caption matches `pattern`; its id or "".
std::string WaitForWindow(const Xvfb& x, const std::string& pattern, int timeoutMs = 20000) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    std::string id;
    while (std::chrono::steady_clock::now() < deadline) {
        if (x.Run({"xdotool", "search", "--onlyvisible", "--name", pattern}, &id) == 0 && !Trim(id).empty())
            return Trim(id.substr(0, id.find('\n')));
        ::usleep(50000);
    }
    return "";
}

// The program itself, started with a database on its command line: the
// prompt names the file, a wrong password is refused, the right one opens it.
TEST(RealProgram, OpensTheDatabaseNamedOnItsCommandLine) {
    if (!HaveProgram("Xvfb") || !HaveProgram("xdotool"))
        GTEST_SKIP() << "Xvfb or xdotool not installed";
    Xvfb x;
    ASSERT_TRUE(x.Started());
    // A copy of the program, so that its settings file lands in this folder.
    TempFolder dir;
    const std::string program = dir.File("tallyk");
    ASSERT_EQ(::system(("cp '" TALLYKEY_BINARY_DIR "/tallyk' '" + program + "'").c_str()), 0);
    TDatabase db;
    AppendGroup(db, "Mail", 3);
    AppendItem(db, 0, "Box", kLogin, kPassword, "", "", 17);
    const std::string file = dir.File("name.tkf");
    ASSERT_TRUE(WriteDatabase(db, "right", file).ok);

    Process app({program, file}, {x.DisplayEnv(), "QT_QPA_PLATFORM=xcb", "TALLYKEY_ALSA_DEVICE=null"});
    std::string prompt = WaitForWindow(x, "^\\[name\\.tkf\\] - Authorization$");
    ASSERT_FALSE(prompt.empty()) << app.Output();
    ASSERT_EQ(x.Run({"xdotool", "windowfocus", "--sync", prompt}), 0);
    ASSERT_EQ(x.Run({"xdotool", "type", "--delay", "20", "wrong"}), 0);
    ASSERT_EQ(x.Run({"xdotool", "key", "Return"}), 0);
    // The refusal is a message box; Enter answers it and the prompt comes again.
    std::string refusal = WaitForWindow(x, "^Error$");
    ASSERT_FALSE(refusal.empty());
    ASSERT_EQ(x.Run({"xdotool", "windowfocus", "--sync", refusal}), 0);
    ASSERT_EQ(x.Run({"xdotool", "key", "Return"}), 0);
    prompt = WaitForWindow(x, "^\\[name\\.tkf\\] - Authorization$");
    ASSERT_FALSE(prompt.empty());
    ASSERT_EQ(x.Run({"xdotool", "windowfocus", "--sync", prompt}), 0);
    ASSERT_EQ(x.Run({"xdotool", "type", "--delay", "20", "right"}), 0);
    ASSERT_EQ(x.Run({"xdotool", "key", "Return"}), 0);
    EXPECT_FALSE(WaitForWindow(x, "^\\[name\\.tkf\\] - Tallykey 0\\.4$").empty()) << app.Output();
}

} // namespace
} // namespace tallykey::test
