// Modal windows, keys, focus, dropped files and minimising of the Win32
// backend under Wine, with input through the program's own message path.
#include "toolkit/win32/backend.h"

#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <optional>

#include <memory>
#include <string>
#include <vector>

#include "support/code_page_scope.h"
#include "support/hook_scope.h"
#include "support/temp_folder.h"
#include "toolkit/application.h"
#include "toolkit/dialogs.h"
#include "toolkit/menu.h"
#include "toolkit/testing/test_input.h"
#include "toolkit/win32/core_test.h"

using namespace toolkit;
using tallykey::test::CodePageScope;
using tallykey::test::HookScope;
using namespace tallykey::test::win32core;

namespace {

class Win32ModalTest : public ::testing::Test {
protected:
    Win32ModalTest() { App(); }
};

bool Enabled(const Window& window) { return ::IsWindowEnabled(Handle(window)) != FALSE; }

TEST_F(Win32ModalTest, ModalWindowEndsByItsCloseBoxByEndModalOrUnanswered) {
    Window main(WindowStyle::Main);
    main.Show();
    Window dialog(WindowStyle::Dialog);
    dialog.SetClientSize(200, 80);
    bool mainBlocked = false;
    {
        HookScope hook([&](Window& w) {
            mainBlocked = !Enabled(main);
            EXPECT_TRUE(w.IsModal());
            EXPECT_TRUE(w.IsShown());
            input::ClickCloseBox(w);
        });
        EXPECT_EQ(dialog.ShowModal(), ResultClosed);
    }
    EXPECT_TRUE(mainBlocked) << "the program's other windows take no input meanwhile";
    EXPECT_TRUE(Enabled(main));
    EXPECT_FALSE(dialog.IsShown());
    EXPECT_FALSE(dialog.IsModal());
    EXPECT_EQ(dialog.ModalResult(), ResultClosed);

    // A refused close keeps it open; its result is whatever ends it then.
    int queries = 0;
    dialog.OnCloseQuery = [&] {
        ++queries;
        return false;
    };
    {
        HookScope hook([&](Window& w) {
            input::ClickCloseBox(w);
            EXPECT_TRUE(w.IsShown());
            w.EndModal(ResultOK);
        });
        EXPECT_EQ(dialog.ShowModal(), ResultOK);
    }
    EXPECT_EQ(queries, 1);
    dialog.OnCloseQuery = nullptr;

    {
        HookScope hook([](Window&) {}); // answers nothing: the window ends as closed
        EXPECT_EQ(dialog.ShowModal(), ResultClosed);
    }

    // With a person at the screen and no hook, the loop waits for the window to be ended.
    SetNobodyAtTheScreen(false);
    App().StartTimer(3, 30, [&] { dialog.EndModal(ResultCancel); });
    EXPECT_EQ(dialog.ShowModal(), ResultCancel);
    SetNobodyAtTheScreen(true);
    EXPECT_EQ(dialog.ModalResult(), ResultCancel);
    EXPECT_TRUE(Enabled(main));
}

TEST_F(Win32ModalTest, NestedModalWindowsEndInnermostFirst) {
    Window main(WindowStyle::Main);
    main.Show();
    Window outer(WindowStyle::Dialog);
    Window inner(WindowStyle::Dialog, &outer);
    EXPECT_EQ(::GetWindow(Handle(inner), GW_OWNER), Handle(outer));
    int innerResult = ResultNone;
    bool outerBlocked = false;
    bool mainBlocked = false;
    HookScope hook([&](Window& w) {
        if (&w == &outer) {
            innerResult = inner.ShowModal();
            EXPECT_TRUE(outer.IsModal());
            EXPECT_TRUE(Enabled(outer)) << "open again once the inner window ended";
            outer.EndModal(ResultCancel);
        } else {
            outerBlocked = !Enabled(outer);
            mainBlocked = !Enabled(main);
            w.EndModal(ResultOK);
        }
    });
    EXPECT_EQ(outer.ShowModal(), ResultCancel);
    EXPECT_EQ(innerResult, ResultOK);
    EXPECT_TRUE(outerBlocked);
    EXPECT_TRUE(mainBlocked);
    EXPECT_TRUE(Enabled(main));
    EXPECT_FALSE(inner.IsShown());
    EXPECT_FALSE(outer.IsShown());
}

TEST_F(Win32ModalTest, ModalWindowDestroyedInsideItsLoop) {
    Window main(WindowStyle::Main);
    main.Show();
    auto dialog = std::make_unique<Window>(WindowStyle::Dialog);
    Window* raw = dialog.get();
    HWND hwnd = Handle(*dialog);
    HookScope hook([&](Window&) { dialog.reset(); });
    EXPECT_EQ(raw->ShowModal(), ResultNone);
    App().ProcessMessages();
    EXPECT_FALSE(::IsWindow(hwnd));
    EXPECT_TRUE(Enabled(main));
}

TEST_F(Win32ModalTest, ShortcutsComeBeforeTheFocusedControlsKeys) {
    Window window(WindowStyle::Main);
    window.SetClientSize(300, 100);
    TextBox box(window);
    box.SetBounds(10, 10, 200, 22);
    window.Show();
    box.SetFocus();
    ASSERT_TRUE(box.HasFocus());
    std::vector<std::string> seen;
    box.OnKeyDown = [&](int vk, unsigned mods) {
        seen.push_back("down " + std::to_string(vk) + "/" + std::to_string(mods));
        return vk == 'Y'; // taken: its character is still heard, but the box never gets it
    };
    box.OnKeyUp = [&](int vk, unsigned) {
        seen.push_back("up " + std::to_string(vk));
        return false;
    };
    box.OnChar = [&](char ch) {
        seen.push_back(std::string("char ") + ch);
        return ch == 'x'; // swallowed: it never reaches the box
    };
    int runs = 0;
    Menu menu(window, Menu::Kind::Popup, {"Item\tCtrl+K"});
    menu.SetShortcut(0, Shortcut{'K', ModCtrl});
    menu.SetOnClick(0, [&] { ++runs; });

    input::PressKey(window, 'K', ModCtrl);
    EXPECT_EQ(runs, 1);
    EXPECT_EQ(seen, (std::vector<std::string>{"up 75"})) << "the shortcut took the key press";
    seen.clear();
    input::PressKey(window, 'J', ModCtrl);
    EXPECT_EQ(runs, 1);
    EXPECT_EQ(seen.front(), "down 74/2");

    seen.clear();
    input::TypeText(window, "axyb");
    EXPECT_EQ(box.Text(), L"ab");
    EXPECT_EQ(seen, (std::vector<std::string>{"down 65/0", "char a", "up 65", "down 88/0", "char x", "up 88",
                                              "down 89/0", "char y", "up 89", "down 66/0", "char b", "up 66"}));

    // Characters come in the code page in use, and only those it holds.
    CodePageScope cyrillic(1251);
    seen.clear();
    input::TypeUnicode(window, "\xD0\x96\xCE\xB1"); // Cyrillic Zhe, Greek alpha
    EXPECT_EQ(seen, (std::vector<std::string>{"char \xC6"}));

    // A removed menu's shortcut goes to the control again.
    seen.clear();
    {
        Menu other(window, Menu::Kind::Popup, {"Other"});
        other.SetShortcut(0, Shortcut{'L', ModCtrl});
    }
    input::PressKey(window, 'L', ModCtrl);
    EXPECT_EQ(seen.front(), "down 76/2");
}

TEST_F(Win32ModalTest, TabMovesTheFocusAndEachWindowKeepsItsOwn) {
    Window first(WindowStyle::Main);
    first.SetClientSize(300, 100);
    TextBox a(first);
    a.SetBounds(10, 10, 100, 22);
    TextBox b(first);
    b.SetBounds(10, 40, 100, 22);
    std::vector<std::string> arrivals;
    a.OnFocus = [&] { arrivals.push_back("a"); };
    b.OnFocus = [&] { arrivals.push_back("b"); };
    first.Show();
    EXPECT_TRUE(a.HasFocus()) << "the first control that takes the focus has it";
    input::PressKey(first, VK_TAB);
    EXPECT_TRUE(b.HasFocus());
    EXPECT_EQ(first.FocusedControl(), &b);
    input::PressKey(first, VK_TAB, ModShift);
    EXPECT_TRUE(a.HasFocus());
    input::PressKey(first, VK_TAB);
    EXPECT_EQ(arrivals, (std::vector<std::string>{"a", "b", "a", "b"}));

    Window second(WindowStyle::Dialog);
    TextBox c(second);
    second.Show();
    EXPECT_TRUE(c.HasFocus());
    EXPECT_EQ(first.FocusedControl(), &b) << "kept while another window is active";
    EXPECT_TRUE(b.HasFocus());
    first.Show();
    EXPECT_EQ(::GetFocus(), Handle(b)) << "given back when the window is active again";
    EXPECT_EQ(arrivals.size(), 4u) << "coming back is no new arrival";
    second.Hide();

    // Set while the window is not active: taken when it is.
    second.Show();
    a.SetFocus();
    EXPECT_EQ(first.FocusedControl(), &a);
    first.Show();
    EXPECT_EQ(::GetFocus(), Handle(a));
}

TEST_F(Win32ModalTest, DroppedFilesArriveAsPathsJoinedByCarriageReturns) {
    Window window(WindowStyle::Main);
    std::vector<std::string> drops;
    window.OnDropFiles = [&](const std::string& files) { drops.push_back(files); };
    input::DropFiles(window, "C:\\a.tkf");
    EXPECT_TRUE(drops.empty()) << "not accepted";
    window.AcceptDroppedFiles(true);
    EXPECT_TRUE(::GetWindowLongPtrW(Handle(window), GWL_EXSTYLE) & WS_EX_ACCEPTFILES);
    CodePageScope cyrillic(1251); // paths stay the file system's bytes
    input::DropFiles(window, "C:\\caf\xE9.tkf\rC:\\b c.tkf");
    EXPECT_EQ(drops, (std::vector<std::string>{"C:\\caf\xE9.tkf\rC:\\b c.tkf"}));
}

TEST_F(Win32ModalTest, MinimiseRunsTheHandlerOnceWhereverItComesFrom) {
    Application& app = App();
    Window window(WindowStyle::Main);
    ASSERT_EQ(app.MainWindow(), &window) << "the first main window is the program's";
    struct Unhook {
        Application& app;
        ~Unhook() { app.OnMinimize = nullptr; }
    } unhook{app};
    window.Show();
    int runs = 0;
    app.OnMinimize = [&] {
        ++runs;
        app.SendMinimizeCommand(); // from inside: only minimises
    };
    app.SendMinimizeCommand();
    EXPECT_EQ(runs, 1);
    EXPECT_TRUE(app.IsMinimized());
    EXPECT_TRUE(window.IsMinimized());
    app.Restore();
    EXPECT_FALSE(app.IsMinimized());
    EXPECT_FALSE(window.IsMinimized());

    // The title bar's minimise box sends the system command.
    ::PostMessageW(Handle(window), WM_SYSCOMMAND, SC_MINIMIZE, 0);
    app.ProcessMessages();
    EXPECT_EQ(runs, 2);
    EXPECT_TRUE(window.IsMinimized());
    ::PostMessageW(Handle(window), WM_SYSCOMMAND, SC_RESTORE, 0);
    app.ProcessMessages();
    EXPECT_FALSE(window.IsMinimized());
    EXPECT_FALSE(app.IsMinimized());

    // A handler that hides the window keeps it from being minimised.
    app.OnMinimize = [&] {
        ++runs;
        window.Hide();
        app.Hide();
    };
    app.SendMinimizeCommand();
    EXPECT_EQ(runs, 3);
    EXPECT_FALSE(window.IsShown());
    EXPECT_FALSE(window.IsMinimized());
    window.Show();
    EXPECT_FALSE(::GetWindowLongPtrW(Handle(window), GWL_EXSTYLE) & WS_EX_APPWINDOW) << "off the taskbar";
    window.Hide();
    app.Show();
    app.Restore();
    window.Show();
    EXPECT_TRUE(::GetWindowLongPtrW(Handle(window), GWL_EXSTYLE) & WS_EX_APPWINDOW);

    window.Minimize();
    EXPECT_EQ(runs, 3) << "the program's own Minimize is not the system command";
    EXPECT_TRUE(window.IsMinimized());
    window.Restore();
    EXPECT_FALSE(window.IsMinimized());
}

// The system's open dialog, answered as a person answers it: the file name
// typed into its name box, then OK. `seenTypes` gets what its type list shows.
std::optional<std::string> ChooseInOpenDialog(const std::wstring& typed, std::vector<std::wstring>& seenTypes) {
    FileDialog dialog;
    dialog.SetFilter("Tallykey files (*.tkf)|*.tkf|All files (*.*)|*.*");
    dialog.SetOptions(FileDialog::FileMustExist);
    int tries = 0;
    std::function<void()> answer = [&] {
        HWND box = nullptr;
        ::EnumThreadWindows(
            ::GetCurrentThreadId(),
            [](HWND w, LPARAM found) {
                wchar_t name[16] = {};
                ::GetClassNameW(w, name, 16);
                if (std::wstring(name) == L"#32770" && ::IsWindowVisible(w)) {
                    *reinterpret_cast<HWND*>(found) = w;
                    return FALSE;
                }
                return TRUE;
            },
            reinterpret_cast<LPARAM>(&box));
        if (!box) {
            if (++tries < 100)
                App().StartTimer(9, 50, answer);
            return;
        }
        HWND types = ::GetDlgItem(box, 0x470); // the type list (cmb1)
        for (LRESULT i = 0, n = ::SendMessageW(types, CB_GETCOUNT, 0, 0); i < n; ++i) {
            wchar_t text[128] = {};
            ::SendMessageW(types, CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(text));
            seenTypes.emplace_back(text);
        }
        // The name box: a combo box (cmb13) in the Explorer-style dialog.
        if (!::SetDlgItemTextW(box, 0x47C, typed.c_str()))
            ::SetDlgItemTextW(box, 0x480, typed.c_str());
        ::PostMessageW(box, WM_COMMAND, IDOK, 0);
    };
    App().StartTimer(9, 50, answer);
    if (!dialog.Execute(FileDialog::Mode::Open))
        return std::nullopt;
    return dialog.FileName();
}

TEST_F(Win32ModalTest, OpenDialogListsTheFilterAndGivesANameOutsideTheCodePageInItsShortForm) {
    tallykey::test::TempFolder folder;
    const CodePageScope codePage(1252);
    const std::wstring base = win32::WidePath(folder.Path()) + L"\\";
    const std::wstring cyrillic = base + L"\x0421\x0435\x0439\x0444.tkf"; // "Сейф.tkf"
    const std::wstring latin = base + L"Caf\x00e9.tkf";
    for (const std::wstring& name : {cyrillic, latin}) {
        HANDLE file = ::CreateFileW(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
        ASSERT_NE(file, INVALID_HANDLE_VALUE);
        DWORD written = 0;
        ::WriteFile(file, "TKF", 3, &written, nullptr);
        ::CloseHandle(file);
    }

    SetNobodyAtTheScreen(false); // the dialog opens, and the timer answers it
    std::vector<std::wstring> types;
    const std::optional<std::string> latinChosen = ChooseInOpenDialog(latin, types);
    types.clear();
    const std::optional<std::string> chosen = ChooseInOpenDialog(cyrillic, types);
    SetNobodyAtTheScreen(true);

    EXPECT_EQ(types, (std::vector<std::wstring>{L"Tallykey files (*.tkf)", L"All files (*.*)"}));
    EXPECT_EQ(latinChosen, folder.Path() + "\\Caf\xe9.tkf") << "a name the code page holds comes as it is";
    ASSERT_TRUE(chosen.has_value());
    EXPECT_EQ(chosen->find('?'), std::string::npos) << *chosen;
    std::ifstream in(*chosen, std::ios::binary);
    std::string content;
    std::getline(in, content);
    EXPECT_EQ(content, "TKF") << "the short form names the same file";
    wchar_t longName[MAX_PATH] = {};
    ::GetLongPathNameW(win32::WidePath(*chosen).c_str(), longName, MAX_PATH);
    EXPECT_EQ(std::wstring(longName), cyrillic);
}

} // namespace
