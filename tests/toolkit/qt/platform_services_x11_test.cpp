// The real Linux services against the real thing: a private Xvfb for the key
// grab, the synthetic keys, the X11 clipboard and the tray, Qt's desktop
// services for the shell.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <sstream>
#include <thread>

#include "support/x11_session.h"
#include "toolkit/ansi_text.h"
#include "toolkit/application.h"
#include "toolkit/controls.h"
#include "toolkit/dialogs.h"
#include "toolkit/qt/platform_services.h"
#include "toolkit/resources.h"
#include "support/hook_scope.h"
#include "support/temp_folder.h"
#include "support/test_app.h"
#include "toolkit/testing/test_input.h"
#include "toolkit/types.h"

// Xlib last: its macros clash with the names above.
#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include "support/x11_desk.h"

using namespace tallykey::test;

namespace {

toolkit::Application& App() { return tallykey::test::TestApp(); }

void Pump() { App().ProcessMessages(); }

// A plain X window of the test's own that holds the keyboard focus and
// reports the keys it gets.
class FocusWindow {
public:
    explicit FocusWindow(const std::string& display) {
        dpy_ = XOpenDisplay(display.c_str());
        if (!dpy_)
            return;
        window_ = XCreateSimpleWindow(dpy_, DefaultRootWindow(dpy_), 10, 10, 200, 100, 0, 0, 0);
        XSelectInput(dpy_, window_, KeyPressMask | StructureNotifyMask);
        XMapWindow(dpy_, window_);
        XEvent event;
        XWindowEvent(dpy_, window_, StructureNotifyMask, &event);
        while (event.type != MapNotify)
            XWindowEvent(dpy_, window_, StructureNotifyMask, &event);
        XSetInputFocus(dpy_, window_, RevertToParent, CurrentTime);
        XSync(dpy_, False);
    }
    ~FocusWindow() {
        if (dpy_)
            XCloseDisplay(dpy_);
    }
    // Key presses that arrive within `ms`, as "ctrl+v" style names.
    std::vector<std::string> Keys(int ms) {
        std::vector<std::string> keys;
        auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
        while (std::chrono::steady_clock::now() < deadline) {
            XSync(dpy_, False);
            while (XPending(dpy_)) {
                XEvent event;
                XNextEvent(dpy_, &event);
                if (event.type != KeyPress)
                    continue;
                KeySym sym = XLookupKeysym(&event.xkey, 0);
                const char* name = XKeysymToString(sym);
                std::string key = (event.xkey.state & ControlMask) ? "ctrl+" : "";
                keys.push_back(key + (name ? name : "?"));
            }
            ::usleep(2000);
        }
        return keys;
    }
    bool Open() const { return dpy_ != nullptr; }

private:
    Display* dpy_ = nullptr;
    Window window_ = 0;
};

constexpr int kId = 123457;

} // namespace

TEST(X11HotKeys, GrabOfCtrlVIsExclusiveAndFiresWhateverTheLockKeys) {
    if (!HaveProgram("Xvfb") || !HaveProgram("xdotool"))
        GTEST_SKIP() << "Xvfb or xdotool not installed";
    Xvfb x;
    ASSERT_TRUE(x.Started());
    App();
    auto keys = toolkit::MakeX11HotKeys(x.Display().c_str());
    auto other = toolkit::MakeX11HotKeys(x.Display().c_str()); // another client
    int v = keys->VkKeyScan('v');
    EXPECT_EQ(v, 0x56);
    EXPECT_EQ(keys->VkKeyScan('\x01'), -1);

    ASSERT_TRUE(keys->Register(kId, toolkit::ModCtrl, v));
    EXPECT_TRUE(keys->IsRegistered(kId));
    EXPECT_TRUE(keys->Register(kId, toolkit::ModCtrl, v)); // the grab in force stays
    EXPECT_FALSE(other->Register(7, toolkit::ModCtrl, v)); // BadAccess
    EXPECT_FALSE(other->IsRegistered(7));

    std::vector<int> fired;
    keys->OnHotKey = [&](int id) { fired.push_back(id); };
    ASSERT_EQ(x.Run({"xdotool", "key", "ctrl+v"}), 0);
    ASSERT_TRUE(PumpUntil([&] { return fired.size() == 1; }));
    EXPECT_EQ(fired[0], kId);

    // With NumLock on, and with CapsLock too, the same key still arrives here.
    ASSERT_EQ(x.Run({"xdotool", "key", "Num_Lock", "ctrl+v"}), 0);
    ASSERT_TRUE(PumpUntil([&] { return fired.size() == 2; }));
    ASSERT_EQ(x.Run({"xdotool", "key", "Caps_Lock", "ctrl+v", "Caps_Lock", "Num_Lock"}), 0);
    ASSERT_TRUE(PumpUntil([&] { return fired.size() == 3; }));

    // Other keys and modifiers pass by.
    ASSERT_EQ(x.Run({"xdotool", "key", "v", "alt+v", "ctrl+c"}), 0);
    EXPECT_FALSE(PumpUntil([&] { return fired.size() > 3; }, 300));

    // Released, the key belongs to whoever asks next; it no longer fires here.
    EXPECT_TRUE(keys->Unregister(kId));
    EXPECT_FALSE(keys->Unregister(kId));
    EXPECT_TRUE(other->Register(7, toolkit::ModCtrl, v));
    ASSERT_EQ(x.Run({"xdotool", "key", "ctrl+v"}), 0);
    EXPECT_FALSE(PumpUntil([&] { return fired.size() > 3; }, 300));
}

TEST(X11HotKeys, SyntheticCtrlVReachesTheFocusedWindowOnceReleased) {
    if (!HaveProgram("Xvfb") || !HaveProgram("xdotool"))
        GTEST_SKIP() << "Xvfb or xdotool not installed";
    Xvfb x;
    ASSERT_TRUE(x.Started());
    App();
    FocusWindow target(x.Display());
    ASSERT_TRUE(target.Open());
    auto keys = toolkit::MakeX11HotKeys(x.Display().c_str());
    int v = keys->VkKeyScan('v');
    ASSERT_TRUE(keys->Register(kId, toolkit::ModCtrl, v));

    // While armed, the user's Ctrl+V comes here, not to the focused window;
    // the handler releases the key and passes a Ctrl+V on, as the program does.
    int fired = 0;
    keys->OnHotKey = [&](int id) {
        ++fired;
        keys->Unregister(id);
        keys->SendKeys({{toolkit::VK_CONTROL, false}, {v, false}, {v, true}, {toolkit::VK_CONTROL, true}});
    };
    ASSERT_EQ(x.Run({"xdotool", "key", "ctrl+v"}), 0);
    ASSERT_TRUE(PumpUntil([&] { return fired == 1; }));
    std::vector<std::string> got = target.Keys(300);
    // The user's Ctrl+V was taken by the grab (only the Ctrl key itself got
    // through); the one Ctrl+V the window saw is the synthetic one.
    EXPECT_EQ(std::count(got.begin(), got.end(), "ctrl+v"), 1) << testing::PrintToString(got);
    EXPECT_EQ(got.back(), "ctrl+v");

    // Not armed: an ordinary Ctrl+V reaches the window directly.
    ASSERT_EQ(x.Run({"xdotool", "key", "ctrl+v"}), 0);
    EXPECT_EQ(target.Keys(300), (std::vector<std::string>{"Control_L", "ctrl+v"}));
    EXPECT_EQ(fired, 1);
}

TEST(X11HotKeys, WithoutAnXServerRegistrationFailsSilently) {
    App();
    auto none = toolkit::MakeX11HotKeys(nullptr, false);
    EXPECT_EQ(none->VkKeyScan('v'), 0x56);
    EXPECT_FALSE(none->Register(kId, toolkit::ModCtrl, 0x56));
    EXPECT_FALSE(none->IsRegistered(kId));
    EXPECT_FALSE(none->Unregister(kId));
    none->SendKeys({{toolkit::VK_CONTROL, false}, {0x56, false}});

    auto unreachable = toolkit::MakeX11HotKeys(":987");
    EXPECT_FALSE(unreachable->Register(kId, toolkit::ModCtrl, 0x56));
}

TEST(QtClipboard, HoldsTheAnsiTextAndIsEmptiedByClear) {
    App();
    // The application object installs the real services.
    ASSERT_NE(toolkit::Platform().clipboard, nullptr);
    ASSERT_NE(toolkit::Platform().sound, nullptr);
    ASSERT_NE(toolkit::Platform().hotKeys, nullptr);
    ASSERT_NE(toolkit::Platform().shell, nullptr);
    ASSERT_NE(toolkit::Platform().trayIcon, nullptr);
    // Offscreen there is no X server: the hot key cannot be had.
    EXPECT_FALSE(toolkit::Platform().hotKeys->Register(kId, toolkit::ModCtrl, 0x56));

    int saved = toolkit::CurrentCodePage();
    toolkit::SetCurrentCodePage(1251);
    auto clipboard = toolkit::MakeQtClipboard();
    const std::string cyrillic = "\xCF\xE0\xF0\xEE\xEB\xFC 1"; // "Пароль 1" in 1251
    EXPECT_TRUE(clipboard->SetText(cyrillic));
    EXPECT_EQ(clipboard->Text(), cyrillic);
    EXPECT_EQ(toolkit::Platform().clipboard->Text(), cyrillic); // one clipboard
    EXPECT_TRUE(clipboard->Clear());
    EXPECT_EQ(clipboard->Text(), "");
    toolkit::SetCurrentCodePage(saved);
}

// Runs the named test of this program in a child process on the private X
// server with the xcb platform, and reports its outcome.
static void RunChildOnXcb(const Xvfb& x, const std::string& test, const std::vector<std::string>& extraEnv = {}) {
    X11Child child(x, test, extraEnv);
    ASSERT_TRUE(child.Started());
    int code = child.WaitPumping(nullptr, 60000);
    EXPECT_EQ(code, 0) << child.Output();
    EXPECT_NE(child.Output().find("[  PASSED  ] 1 test"), std::string::npos) << child.Output();
}

// Reads the X clipboard with xclip while this process serves it.
static int Xclip(const std::vector<std::string>& args, std::string& output) {
    std::vector<std::string> argv = {"xclip", "-o", "-selection", "clipboard"};
    argv.insert(argv.end(), args.begin(), args.end());
    Process tool(argv);
    int code = tool.WaitPumping(Pump);
    output = tool.Output();
    return code;
}

TEST(QtClipboardOnX11Child, Run) {
    if (!InX11Child())
        GTEST_SKIP() << "runs inside QtClipboard.OnX11";
    App();
    toolkit::SetCurrentCodePage(1252);
    toolkit::Clipboard& clipboard = *toolkit::Platform().clipboard;

    // Something of another format is on the clipboard first.
    const char* png = "/tmp/xdg-svc-clip.png";
    {
        toolkit::ResourceData icon = toolkit::FindResource("MAINICON");
        std::ofstream(png, std::ios::binary).write(reinterpret_cast<const char*>(icon.data), static_cast<std::streamsize>(icon.size));
    }
    Process holder({"xclip", "-selection", "clipboard", "-t", "image/png", "-quiet", "-i", png});
    std::string out;
    ASSERT_TRUE(PumpUntil([&] { return Xclip({"-t", "TARGETS"}, out) == 0 && out.find("image/png") != std::string::npos; }));

    ASSERT_TRUE(clipboard.SetText("caf\xE9 login"));
    ASSERT_EQ(Xclip({}, out), 0);
    EXPECT_EQ(out, "caf\xC3\xA9 login");
    ASSERT_EQ(Xclip({"-t", "TARGETS"}, out), 0);
    EXPECT_NE(out.find("x-kde-passwordManagerHint"), std::string::npos) << out;
    EXPECT_EQ(out.find("image/png"), std::string::npos) << out; // the earlier content is gone
    ASSERT_EQ(Xclip({"-t", "x-kde-passwordManagerHint"}, out), 0);
    EXPECT_EQ(out, "secret");
    EXPECT_EQ(clipboard.Text(), "caf\xE9 login");

    ASSERT_TRUE(clipboard.SetText("p@ss"));
    ASSERT_EQ(Xclip({}, out), 0);
    EXPECT_EQ(out, "p@ss");

    ASSERT_TRUE(clipboard.Clear());
    EXPECT_NE(Xclip({}, out), 0); // nobody owns the clipboard any more
    ::unlink(png);
}

TEST(QtClipboard, OnX11) {
    if (!HaveProgram("Xvfb") || !HaveProgram("xclip"))
        GTEST_SKIP() << "Xvfb or xclip not installed";
    Xvfb x;
    ASSERT_TRUE(x.Started());
    RunChildOnXcb(x, "QtClipboardOnX11Child.Run");
}

TEST(QtTrayIconOnX11Child, Run) {
    if (!InX11Child())
        GTEST_SKIP() << "runs inside QtTrayIcon.OnX11";
    App();
    toolkit::TrayIcon& tray = *toolkit::Platform().trayIcon;
    toolkit::TrayIconData data;
    data.id = 1;
    data.tip = "Tallykey 0.4";
    data.icon = toolkit::FindResource("MAINICON");

    if (std::getenv("TALLYKEY_TEST_NO_TRAY")) {
        // No panel: the icon is kept but cannot be seen.
        EXPECT_FALSE(tray.Available());
        EXPECT_FALSE(tray.Add(data));
        EXPECT_EQ(tray.IconCount(), 1);
        EXPECT_TRUE(tray.Delete(1));
        EXPECT_EQ(tray.IconCount(), 0);
        return;
    }
    TrayOwner owner(nullptr);
    ASSERT_TRUE(PumpUntil([&] { return tray.Available(); }));
    EXPECT_TRUE(tray.Add(data));
    EXPECT_FALSE(tray.Add(data)); // never a second icon
    EXPECT_EQ(tray.IconCount(), 1);
    ASSERT_TRUE(PumpUntil([&] { return owner.DockRequests().size() >= 1; }));
    EXPECT_TRUE(tray.Delete(1));
    EXPECT_EQ(tray.IconCount(), 0);
    EXPECT_FALSE(tray.Delete(1));
    // Minimising again adds it again: one more dock request, still one icon.
    EXPECT_TRUE(tray.Add(data));
    EXPECT_EQ(tray.IconCount(), 1);
    ASSERT_TRUE(PumpUntil([&] { return owner.DockRequests().size() >= 2; }));
    EXPECT_EQ(owner.DockRequests().size(), 2u);
}

TEST(QtTrayIcon, OnX11WithAndWithoutANotificationArea) {
    if (!HaveProgram("Xvfb"))
        GTEST_SKIP() << "Xvfb not installed";
    {
        Xvfb x;
        ASSERT_TRUE(x.Started());
        RunChildOnXcb(x, "QtTrayIconOnX11Child.Run", {"TALLYKEY_TEST_NO_TRAY=1"});
    }
    Xvfb x;
    ASSERT_TRUE(x.Started());
    RunChildOnXcb(x, "QtTrayIconOnX11Child.Run");
}

static void CheckShellOpensThroughXdgOpen() {
    App();
    // A stand-in xdg-open first on PATH records what the desktop was asked to open.
    TempFolder folder;
    const std::string dir = folder.Path();
    const std::string log = folder.File("opened.log");
    folder.Write("xdg-open", "#!/bin/sh\nprintf '%s\\n' \"$1\" >> '" + log + "'\n");
    ::chmod(folder.File("xdg-open").c_str(), 0755);
    const std::string help = folder.File("tallyk_eng.chm");
    folder.Write("tallyk_eng.chm", "help");
    std::string savedPath = std::getenv("PATH") ? std::getenv("PATH") : "";
    ::setenv("PATH", (dir + ":" + savedPath).c_str(), 1);

    auto shell = toolkit::MakeQtShell();
    auto lines = [&] {
        std::ifstream in(log);
        std::vector<std::string> got;
        for (std::string line; std::getline(in, line);)
            got.push_back(line);
        return got;
    };
    EXPECT_TRUE(shell->Open("https://example.com/login?a=1"));
    ASSERT_TRUE(PumpUntil([&] { return lines().size() == 1; }));
    EXPECT_TRUE(shell->Open(help));
    ASSERT_TRUE(PumpUntil([&] { return lines().size() == 2; }));
    EXPECT_TRUE(shell->Open("ftp://files.example.org/"));
    ASSERT_TRUE(PumpUntil([&] { return lines().size() == 3; }));
    // What the prefix rule built reaches the desktop byte for byte.
    EXPECT_TRUE(shell->Open("http://HTTP://UPPER.example.com"));
    ASSERT_TRUE(PumpUntil([&] { return lines().size() == 4; }));
    EXPECT_TRUE(shell->Open("http://ftp:/odd"));
    ASSERT_TRUE(PumpUntil([&] { return lines().size() == 5; }));
    EXPECT_FALSE(shell->Open(""));
    EXPECT_EQ(lines(), (std::vector<std::string>{"https://example.com/login?a=1", "file://" + help,
                                                 "ftp://files.example.org/", "http://HTTP://UPPER.example.com",
                                                 "http://ftp:/odd"}));

    ::setenv("PATH", savedPath.c_str(), 1);
}

TEST(QtShell, OpensAddressesAndFilesThroughXdgOpenOffscreen) { CheckShellOpensThroughXdgOpen(); }

TEST(QtShellOnX11Child, Run) {
    if (!InX11Child())
        GTEST_SKIP() << "runs inside QtShell.OpensAddressesAndFilesThroughXdgOpenOnX11";
    CheckShellOpensThroughXdgOpen();
}

TEST(QtShell, OpensAddressesAndFilesThroughXdgOpenOnX11) {
    if (!HaveProgram("Xvfb"))
        GTEST_SKIP() << "Xvfb not installed";
    Xvfb x;
    ASSERT_TRUE(x.Started());
    RunChildOnXcb(x, "QtShellOnX11Child.Run");
}

// Child: a main window placed and sized by its outer rectangle before it
// shows, as the settings do at start-up, under a window manager that frames
// it only once it is mapped.
TEST(WindowUnderAWindowManagerChild, Run) {
    if (!InX11Child())
        GTEST_SKIP() << "runs inside WindowUnderAWindowManager.KeepsTheOuterRectangleAcrossRestarts";
    App();
    toolkit::Window window(toolkit::WindowStyle::Main);
    window.SetCaption("Framed");
    window.SetClientSize(474, 445);
    window.SetOuterLeft(203);
    window.SetOuterTop(109);
    window.SetOuterWidth(490);
    window.SetOuterHeight(480);
    window.Show();
    ASSERT_TRUE(PumpUntil([&] { return window.OuterRect().height != window.ClientHeight(); }, 30000))
        << "the window manager did not frame the window";
    // Generous waits: on a loaded machine the window manager answers late.
    ASSERT_TRUE(PumpUntil([&] {
        const toolkit::Rect r = window.OuterRect();
        return r.width == 490 && r.height == 480;
    }, 20000)) << window.OuterRect().width << "x" << window.OuterRect().height;
    const toolkit::Rect r = window.OuterRect();
    EXPECT_EQ(r.left, 203);
    EXPECT_EQ(r.top, 109);
    EXPECT_LT(window.ClientHeight(), 480); // the frame took its share

    // A dialog centred before it shows is centred with its frame.
    toolkit::Window dialog(toolkit::WindowStyle::Dialog, &window);
    dialog.SetCaption("Centred");
    dialog.SetClientSize(321, 120);
    dialog.CenterOnScreen();
    dialog.Show();
    ASSERT_TRUE(PumpUntil([&] { return dialog.OuterRect().height != 120; }, 30000));
    ASSERT_TRUE(PumpUntil([&] {
        const toolkit::Rect d = dialog.OuterRect();
        return d.left == (1024 - d.width) / 2 && d.top == (768 - d.height) / 2;
    }, 20000)) << dialog.OuterRect().left << "," << dialog.OuterRect().top;
}

// Runs the child test on a private X server under openbox.
static void RunChildUnderOpenbox(const std::string& test) {
    if (!HaveProgram("Xvfb") || !HaveProgram("openbox"))
        GTEST_SKIP() << "Xvfb or openbox not installed";
    Xvfb x;
    ASSERT_TRUE(x.Started());
    Process wm({"openbox"}, {x.DisplayEnv()});
    ASSERT_TRUE(wm.Started());
    ASSERT_TRUE(Desk(x.Display().c_str()).WindowManagerRuns());
    RunChildOnXcb(x, test);
}

TEST(WindowUnderAWindowManager, KeepsTheOuterRectangleAcrossRestarts) {
    RunChildUnderOpenbox("WindowUnderAWindowManagerChild.Run");
}

// Minimises `w` as a taskbar does until `done`, and again while it is seen
// normal (Qt activates a window it has just mapped once it reads the map,
// which undoes a minimise that came first; a request that comes too many is
// harmless, since each one reaches the window manager before anything the
// program asks after it). `wait` processes events until its argument holds.
template <class Done, class Wait>
static bool IconifyUntil(Desk& desk, unsigned long w, Done done, Wait wait) {
    int polls = 0;
    return wait([&] {
        if (done())
            return true;
        if (polls++ % 50 == 0 && desk.State(w) == Desk::kNormal)
            desk.Iconify(w);
        return false;
    });
}

// Child: modal windows of no owner over the main window, as the program's
// dialogs and message boxes are.
TEST(ModalWindowsUnderAWindowManagerChild, Run) {
    if (!InX11Child())
        GTEST_SKIP() << "runs inside ModalWindowsUnderAWindowManager.GoWithTheMainWindow";
    App();
    Desk desk;
    ASSERT_TRUE(desk.Open());
    auto pumpUntil = [](auto done) { return PumpUntil(done, 30000); };
    toolkit::Window main(toolkit::WindowStyle::Main);
    main.SetCaption("Main");
    main.SetClientSize(400, 300);
    main.Show();
    unsigned long mainId = 0;
    ASSERT_TRUE(pumpUntil([&] { return (mainId = desk.Find("Main")) && desk.State(mainId) == Desk::kNormal; }));

    toolkit::Window dialog(toolkit::WindowStyle::Dialog);
    dialog.SetCaption("Dialog");
    dialog.SetClientSize(200, 100);
    {
        tallykey::test::HookScope scope([&](toolkit::Window&) {
            unsigned long d = 0;
            ASSERT_TRUE(pumpUntil([&] { return (d = desk.Find("Dialog")) && desk.State(d) == Desk::kNormal; }));
            EXPECT_EQ(desk.Prop(d, "WM_TRANSIENT_FOR"), std::vector<unsigned long>{mainId});
            EXPECT_TRUE(desk.Has(d, "_NET_WM_WINDOW_TYPE", "_NET_WM_WINDOW_TYPE_DIALOG"));
            const auto motif = desk.Prop(d, "_MOTIF_WM_HINTS");
            ASSERT_EQ(motif.size(), 5u);
            EXPECT_EQ(motif[0] & 3, 3u) << "functions and decorations given";
            EXPECT_EQ(motif[1] & 0x19, 0u) << "functions: all, minimise or maximise";
            EXPECT_EQ(motif[2] & 0x61, 0u) << "decorations: all, minimise or maximise";

            // Minimising the dialog minimises the program; restoring the
            // program is done when the window manager has done it.
            ASSERT_TRUE(IconifyUntil(
                desk, d,
                [&] { return desk.State(mainId) == Desk::kIconic && desk.State(d) == Desk::kIconic && App().IsMinimized(); },
                pumpUntil))
                << desk.State(mainId) << " " << desk.State(d);
            App().Restore();
            EXPECT_EQ(desk.State(mainId), Desk::kNormal);
            EXPECT_EQ(desk.State(d), Desk::kNormal);
            EXPECT_TRUE(pumpUntil([&] { return desk.OnTop(d, mainId); }));
            EXPECT_FALSE(App().IsMinimized());

            // Minimised to the tray, the main window hides; the tray's click
            // brings the program back with its dialog on top.
            App().OnMinimize = [&] { main.Hide(); };
            ASSERT_TRUE(IconifyUntil(
                desk, d,
                [&] {
                    return desk.State(mainId) == Desk::kWithdrawn && desk.State(d) == Desk::kIconic &&
                           App().IsMinimized();
                },
                pumpUntil))
                << desk.State(mainId) << " " << desk.State(d);
            App().OnMinimize = nullptr;
            App().Show();
            App().Restore();
            EXPECT_EQ(desk.State(d), Desk::kNormal);
            main.Show();
            main.BringToFront();
            EXPECT_TRUE(pumpUntil([&] {
                return desk.State(mainId) == Desk::kNormal && desk.State(d) == Desk::kNormal && desk.OnTop(d, mainId);
            })) << desk.State(mainId) << " " << desk.State(d);
        });
        dialog.ShowModal();
    }

    // A message box runs Qt's own loop; a taskbar drives it from outside.
    std::thread taskbar([&] {
        Desk bar;
        auto until = [](auto done) {
            for (int i = 0; i < 3000 && !done(); ++i)
                ::usleep(10000);
            return done();
        };
        unsigned long box = 0;
        if (!until([&] { return (box = bar.Find("Box")) && bar.State(box) == Desk::kNormal; }))
            return ADD_FAILURE() << "no message box";
        EXPECT_EQ(bar.Prop(box, "WM_TRANSIENT_FOR"), std::vector<unsigned long>{mainId});
        EXPECT_TRUE(IconifyUntil(
            bar, box, [&] { return bar.State(mainId) == Desk::kIconic && bar.State(box) == Desk::kIconic; }, until));
        bar.Activate(mainId);
        EXPECT_TRUE(until([&] {
            return bar.State(mainId) == Desk::kNormal && bar.State(box) == Desk::kNormal && bar.OnTop(box, mainId);
        })) << bar.State(mainId) << " " << bar.State(box);
        bar.Close(box);
    });
    EXPECT_EQ(toolkit::MessageBox(nullptr, "Text", "Box", toolkit::MB_OK), toolkit::IDOK);
    taskbar.join();
}

// A dialog belongs to the main window: the window manager keeps it over
// that window, minimising it minimises the program, and restoring the
// program brings it back on top.
TEST(ModalWindowsUnderAWindowManager, GoWithTheMainWindow) {
    RunChildUnderOpenbox("ModalWindowsUnderAWindowManagerChild.Run");
}

// The width of the first mapped top-level window named `caption`, which is then asked to
// close as its frame's close box would; 0 when none shows within the time.
static int WidthThenClose(const std::string& display, const std::string& caption) {
    Display* dpy = XOpenDisplay(display.c_str());
    if (!dpy)
        return 0;
    int width = 0;
    for (int attempt = 0; attempt < 1500 && width == 0; ++attempt) {
        ::Window root = 0, parent = 0, *children = nullptr;
        unsigned count = 0;
        XQueryTree(dpy, DefaultRootWindow(dpy), &root, &parent, &children, &count);
        for (unsigned i = 0; i < count && width == 0; ++i) {
            char* name = nullptr;
            XWindowAttributes attributes{};
            if (XFetchName(dpy, children[i], &name) && name && caption == name &&
                XGetWindowAttributes(dpy, children[i], &attributes) && attributes.map_state == IsViewable) {
                width = attributes.width;
                XEvent close{};
                close.xclient.type = ClientMessage;
                close.xclient.window = children[i];
                close.xclient.message_type = XInternAtom(dpy, "WM_PROTOCOLS", False);
                close.xclient.format = 32;
                close.xclient.data.l[0] = static_cast<long>(XInternAtom(dpy, "WM_DELETE_WINDOW", False));
                close.xclient.data.l[1] = CurrentTime;
                XSendEvent(dpy, children[i], False, NoEventMask, &close);
                XFlush(dpy);
            }
            if (name)
                XFree(name);
        }
        if (children)
            XFree(children);
        if (width == 0)
            ::usleep(20000);
    }
    XCloseDisplay(dpy);
    return width;
}

TEST(QtMessageBoxOnX11Child, Run) {
    if (!InX11Child())
        GTEST_SKIP() << "runs inside QtMessageBox.IsWideEnoughForItsTitle";
    App();
    // A long title over a short text, and the same words as the text of a box: the frame
    // shows the title in full beside its icon and buttons (60 pixels at the least), so the
    // first box is wider than the second by that much.
    const std::string words = "A title much longer than the short text of its box";
    const struct {
        std::string caption, text;
    } boxes[] = {{words, "Failed!"}, {"T", words}};
    int widths[2] = {};
    for (int i = 0; i < 2; ++i) {
        std::thread watcher([&, i] { widths[i] = WidthThenClose(std::getenv("DISPLAY"), boxes[i].caption); });
        EXPECT_EQ(toolkit::MessageBox(nullptr, boxes[i].text, boxes[i].caption, toolkit::MB_OK), toolkit::IDOK);
        watcher.join();
        ASSERT_GT(widths[i], 0) << boxes[i].caption;
    }
    EXPECT_GE(widths[0], widths[1] + 60) << "title box " << widths[0] << ", text box " << widths[1];
}

TEST(QtMessageBox, IsWideEnoughForItsTitle) {
    if (!HaveProgram("Xvfb"))
        GTEST_SKIP() << "Xvfb not installed";
    Xvfb x;
    ASSERT_TRUE(x.Started());
    RunChildOnXcb(x, "QtMessageBoxOnX11Child.Run");
}

TEST(QtFileDialogOnX11Child, Run) {
    if (!InX11Child())
        GTEST_SKIP() << "runs inside QtFileDialog.ListsEachFileTypeOnce";
    App();
    toolkit::FileDialog dialog;
    dialog.SetFilter("Tallykey files (*.tkf)|*.tkf|All files (*.*)|*.*");
    std::vector<std::string> shown;
    std::function<void()> look = [&] {
        shown = toolkit::input::ShownFileTypes();
        if (shown.empty())
            App().StartTimer(kId, 20, look);
        else
            toolkit::input::CloseModalDialog();
    };
    App().StartTimer(kId, 20, look);
    EXPECT_FALSE(dialog.Execute(toolkit::FileDialog::Mode::Open));
    EXPECT_EQ(shown, (std::vector<std::string>{"Tallykey files (*.tkf)", "All files (*.*)"}));
}

TEST(QtFileDialog, ListsEachFileTypeOnce) {
    if (!HaveProgram("Xvfb"))
        GTEST_SKIP() << "Xvfb not installed";
    Xvfb x;
    ASSERT_TRUE(x.Started());
    RunChildOnXcb(x, "QtFileDialogOnX11Child.Run");
}

// The title the X server holds for the one top-level window shown, as a
// window manager reads it (UTF-8); "?" when none is shown.
static std::string ShownTitle(const char* display) {
    Display* dpy = XOpenDisplay(display);
    if (!dpy)
        return "?";
    std::string title = "?";
    ::Window root = 0, parent = 0, *children = nullptr;
    unsigned count = 0;
    XQueryTree(dpy, DefaultRootWindow(dpy), &root, &parent, &children, &count);
    for (unsigned i = 0; i < count; ++i) {
        XWindowAttributes attributes{};
        if (!XGetWindowAttributes(dpy, children[i], &attributes) || attributes.map_state != IsViewable)
            continue;
        Atom type = None;
        int format = 0;
        unsigned long length = 0, rest = 0;
        unsigned char* data = nullptr;
        XGetWindowProperty(dpy, children[i], XInternAtom(dpy, "_NET_WM_NAME", False), 0, 1024, False,
                           XInternAtom(dpy, "UTF8_STRING", False), &type, &format, &length, &rest, &data);
        title = data ? std::string(reinterpret_cast<char*>(data), length) : std::string();
        if (data)
            XFree(data);
    }
    if (children)
        XFree(children);
    XCloseDisplay(dpy);
    return title;
}

TEST(EmptyCaptionOnX11Child, Run) {
    if (!InX11Child())
        GTEST_SKIP() << "runs inside EmptyCaption.ShowsAnEmptyTitleNotTheProgramsName";
    App();
    toolkit::Window dialog(toolkit::WindowStyle::Dialog);
    dialog.SetCaption("Configuration");
    dialog.SetCaption(""); // what a language file's "Title=" gives
    dialog.Show();
    std::string title;
    ASSERT_TRUE(PumpUntil([&] { return (title = ShownTitle(std::getenv("DISPLAY"))) != "?"; }));
    // A zero width space shows nothing; none at all would make Qt show the program's name.
    for (size_t at; (at = title.find("\xE2\x80\x8B")) != std::string::npos;)
        title.erase(at, 3);
    EXPECT_EQ(title, "");
}

TEST(EmptyCaption, ShowsAnEmptyTitleNotTheProgramsName) {
    if (!HaveProgram("Xvfb"))
        GTEST_SKIP() << "Xvfb not installed";
    Xvfb x;
    ASSERT_TRUE(x.Started());
    RunChildOnXcb(x, "EmptyCaptionOnX11Child.Run");
}
