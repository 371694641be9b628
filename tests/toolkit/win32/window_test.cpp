// The core of the Win32 window backend under Wine: windows of both styles,
// edge alignment, controls destroyed from their own handlers, text of the
// code page in use, backgrounds, timers, icons.
#include "toolkit/win32/backend.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>

#include "support/code_page_scope.h"
#include "toolkit/ansi_text.h"
#include "toolkit/application.h"
#include "toolkit/resources.h"
#include "toolkit/win32/core_test.h"

using namespace toolkit;
using tallykey::test::CodePageScope;
using namespace tallykey::test::win32core;

namespace {

class Win32CoreTest : public ::testing::Test {
protected:
    Win32CoreTest() { App(); }
};

TEST_F(Win32CoreTest, BothStylesHaveTheirFrameAroundTheClientSizeAskedFor) {
    for (WindowStyle style : {WindowStyle::Main, WindowStyle::Dialog}) {
        SCOPED_TRACE(style == WindowStyle::Main ? "main" : "dialog");
        Window window(style);
        window.SetClientSize(321, 120);
        EXPECT_EQ(window.ClientWidth(), 321);
        EXPECT_EQ(window.ClientHeight(), 120);

        HWND hwnd = Handle(window);
        const auto ws = static_cast<DWORD>(::GetWindowLongPtrW(hwnd, GWL_STYLE));
        const auto ex = static_cast<DWORD>(::GetWindowLongPtrW(hwnd, GWL_EXSTYLE));
        EXPECT_EQ(::GetWindow(hwnd, GW_OWNER), win32::ApplicationWindow());
        EXPECT_FALSE(ws & WS_MAXIMIZEBOX);
        EXPECT_TRUE(ws & WS_CAPTION);
        EXPECT_TRUE(ws & WS_SYSMENU);
        if (style == WindowStyle::Main) {
            EXPECT_TRUE(ws & WS_THICKFRAME);
            EXPECT_TRUE(ws & WS_MINIMIZEBOX);
        } else {
            EXPECT_FALSE(ws & (WS_THICKFRAME | WS_MINIMIZEBOX));
            EXPECT_TRUE(ex & WS_EX_DLGMODALFRAME);
        }

        RECT frame{0, 0, 321, 120};
        ::AdjustWindowRectEx(&frame, ws, FALSE, ex);
        Rect outer = window.OuterRect();
        RECT native{};
        ::GetWindowRect(hwnd, &native);
        EXPECT_EQ(outer, (Rect{native.left, native.top, native.right - native.left, native.bottom - native.top}));
        EXPECT_EQ(outer.width, frame.right - frame.left);
        EXPECT_EQ(outer.height, frame.bottom - frame.top);

        // The outer size moves the client area with it.
        window.SetOuterWidth(outer.width + 41);
        window.SetOuterHeight(outer.height + 9);
        EXPECT_EQ(window.ClientWidth(), 362);
        EXPECT_EQ(window.ClientHeight(), 129);

        window.CenterOnScreen();
        outer = window.OuterRect();
        const int screenWidth = ::GetSystemMetrics(SM_CXSCREEN);
        const int screenHeight = ::GetSystemMetrics(SM_CYSCREEN);
        EXPECT_EQ(outer.left * 2, screenWidth - outer.width - ((screenWidth - outer.width) & 1)) << "rounded down";
        EXPECT_EQ(outer.top * 2, screenHeight - outer.height - ((screenHeight - outer.height) & 1));
        window.SetPosition(-7, 13);
        EXPECT_EQ(window.OuterRect().left, -7);
        EXPECT_EQ(window.OuterRect().top, 13);
    }
}

TEST_F(Win32CoreTest, AlignedChildrenFollowTheWindowWhenItIsResized) {
    Window window(WindowStyle::Main);
    window.SetClientSize(300, 200);
    int resizes = 0;
    window.OnResize = [&] { ++resizes; };
    Box top(&window);
    top.SetBounds(0, 0, 10, 30);
    top.SetAlign(Align::Top);
    Box bottom(&window);
    bottom.SetBounds(0, 0, 10, 20);
    bottom.SetAlign(Align::Bottom);
    Box left(&window);
    left.SetBounds(0, 0, 50, 10);
    left.SetAlign(Align::Left);
    Box rest(&window);
    rest.SetAlign(Align::Client);
    Box inner(&rest);
    inner.SetAlign(Align::Client);
    rest.SetAlignMargin(5);
    EXPECT_EQ(top.Bounds(), (Rect{0, 0, 300, 30}));
    EXPECT_EQ(bottom.Bounds(), (Rect{0, 180, 300, 20}));
    EXPECT_EQ(left.Bounds(), (Rect{0, 30, 50, 150}));
    EXPECT_EQ(rest.Bounds(), (Rect{50, 30, 250, 150}));
    EXPECT_EQ(inner.Bounds(), (Rect{5, 5, 240, 140}));

    // As the user drags the frame: Windows resizes, the window hears WM_SIZE.
    const Rect outer = window.OuterRect();
    ::MoveWindow(Handle(window), outer.left, outer.top, outer.width + 100, outer.height + 50, TRUE);
    EXPECT_EQ(window.ClientWidth(), 400);
    EXPECT_EQ(top.Bounds(), (Rect{0, 0, 400, 30}));
    EXPECT_EQ(bottom.Bounds(), (Rect{0, 230, 400, 20}));
    EXPECT_EQ(left.Bounds(), (Rect{0, 30, 50, 200}));
    EXPECT_EQ(rest.Bounds(), (Rect{50, 30, 350, 200}));
    EXPECT_EQ(inner.Bounds(), (Rect{5, 5, 340, 190}));
    EXPECT_GE(resizes, 1);

    // A hidden child takes no room.
    bottom.SetVisible(false);
    EXPECT_FALSE(bottom.IsVisible());
    EXPECT_EQ(rest.Bounds(), (Rect{50, 30, 350, 220}));
}

TEST_F(Win32CoreTest, ControlDestroyedByItsOwnClickOutlivesTheNotification) {
    Window window(WindowStyle::Dialog);
    window.SetClientSize(200, 100);
    auto* button = new PushBox(window);
    button->SetBounds(10, 10, 80, 24);
    window.Show();
    HWND hwnd = Handle(*button);
    bool windowDuringHandler = false;
    bool forgottenDuringHandler = false;
    int clicks = 0;
    button->onClick = [&] {
        ++clicks;
        const Control* gone = button;
        delete button;
        button = nullptr;
        windowDuringHandler = ::IsWindow(hwnd) != FALSE;
        forgottenDuringHandler = win32::ControlOf(hwnd) == nullptr && !win32::IsLive(gone);
    };
    // The button's own code runs on after its notification returns.
    ::SendMessageW(hwnd, BM_CLICK, 0, 0);
    EXPECT_EQ(clicks, 1);
    EXPECT_TRUE(windowDuringHandler) << "its window waits for the handler to return";
    EXPECT_TRUE(forgottenDuringHandler);
    EXPECT_TRUE(window.Children().empty());
    App().ProcessMessages();
    EXPECT_FALSE(::IsWindow(hwnd)) << "and goes once the loop runs";
    window.Hide();
}

TEST_F(Win32CoreTest, ControlsAndWindowsMayBeDestroyedInEitherOrder) {
    auto window = std::make_unique<Window>(WindowStyle::Dialog);
    auto box = std::make_unique<Box>(window.get());
    auto child = std::make_unique<Box>(box.get());
    HWND boxWindow = Handle(*box);
    HWND childWindow = Handle(*child);
    window.reset();
    EXPECT_FALSE(::IsWindow(boxWindow));
    EXPECT_FALSE(::IsWindow(childWindow));
    EXPECT_EQ(box->Parent(), nullptr);
    EXPECT_EQ(Handle(*box), nullptr) << "the control knows its window is gone";
    box->SetBounds(1, 2, 3, 4);
    EXPECT_EQ(box->Bounds(), Rect{});
    EXPECT_FALSE(box->IsVisible());
    box.reset(); // the parent first, then its child
    EXPECT_EQ(child->Parent(), nullptr);
    child.reset();

    Window other(WindowStyle::Main);
    {
        Box gone(&other);
        gone.SetBounds(0, 0, 10, 10);
    }
    EXPECT_TRUE(other.Children().empty());
}

TEST_F(Win32CoreTest, TextCrossesTheWindowsInTheCodePageInUse) {
    {
        CodePageScope cyrillic(1251);
        Window window(WindowStyle::Dialog);
        const std::string caption = "\xCF\xE0\xF0\xEE\xEB\xFC"; // "Пароль" in code page 1251
        window.SetCaption(caption);
        EXPECT_EQ(win32::WindowTextW(Handle(window)), L"\u041F\u0430\u0440\u043E\u043B\u044C");
        EXPECT_EQ(win32::Ansi(win32::WindowTextW(Handle(window))), caption);
        EXPECT_EQ(window.Caption(), caption);
        EXPECT_TRUE(win32::AdmitsCharacter(L'\u041F'));
        EXPECT_FALSE(win32::AdmitsCharacter(L'\u00E9')) << "no e acute in code page 1251";
        EXPECT_FALSE(win32::AdmitsCharacter(static_cast<wchar_t>(0xD83D))) << "half a character";
        // A byte the code page leaves undefined shows as the replacement character.
        EXPECT_EQ(win32::Wide("a\x98z"), L"a\uFFFDz");
    }
    {
        CodePageScope utf8(65001);
        Window window(WindowStyle::Main);
        const std::string caption = "\xE6\x97\xA5\xE6\x9C\xAC \xCE\xB1\xCE\xB2"; // Japanese and Greek
        window.SetCaption(caption);
        EXPECT_EQ(win32::WindowTextW(Handle(window)), L"\u65E5\u672C \u03B1\u03B2");
        EXPECT_EQ(win32::Ansi(win32::WindowTextW(Handle(window))), caption);
    }
    // Paths are the file system's bytes whatever the windows show.
    CodePageScope cyrillic(1251);
    ASSERT_EQ(::GetACP(), 1252u) << "the Wine prefix runs in code page 1252";
    EXPECT_EQ(win32::WidePath("caf\xE9.tkf"), L"caf\u00E9.tkf");
    EXPECT_EQ(win32::PathFromWide(L"caf\u00E9.tkf"), "caf\xE9.tkf");
    EXPECT_EQ(win32::PathFromWide(L"\u0394.tkf"), "?.tkf") << "no look-alike for a letter the page lacks";
    EXPECT_EQ(win32::WideLines("a\nb\rc\r\nd\n\re"), L"a\r\nb\r\nc\r\nd\r\ne");
}

TEST_F(Win32CoreTest, BackgroundsPaintTheControlAndTheTextOnIt) {
    Window window(WindowStyle::Dialog);
    Box panel(&window);
    panel.SetBackground(Color{0x12, 0x34, 0x56});
    Box label(&panel);
    Box plain(&window);
    HDC dc = ::CreateCompatibleDC(nullptr);
    auto paint = [&](HWND parent, UINT message, const Control& child) {
        return ::SendMessageW(parent, message, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(Handle(child)));
    };
    const LRESULT brush = paint(Handle(window), WM_CTLCOLORSTATIC, panel);
    EXPECT_EQ(brush, reinterpret_cast<LRESULT>(panel.impl()->backgroundBrush));
    EXPECT_EQ(::GetBkColor(dc), RGB(0x12, 0x34, 0x56));
    // A label on the panel stands on its colour; an edit box on it does not.
    ::SetBkColor(dc, RGB(1, 2, 3));
    EXPECT_EQ(paint(Handle(panel), WM_CTLCOLORSTATIC, label), brush);
    EXPECT_EQ(::GetBkColor(dc), RGB(0x12, 0x34, 0x56));
    EXPECT_NE(paint(Handle(panel), WM_CTLCOLOREDIT, label), brush);
    EXPECT_NE(paint(Handle(window), WM_CTLCOLORSTATIC, plain), brush);
    label.SetWindowColor();
    EXPECT_EQ(paint(Handle(panel), WM_CTLCOLORSTATIC, label), reinterpret_cast<LRESULT>(label.impl()->backgroundBrush));
    EXPECT_EQ(::GetBkColor(dc), ::GetSysColor(COLOR_WINDOW));
    ::DeleteDC(dc);
}

TEST_F(Win32CoreTest, TimersRunOnceInTheLoopAndMayBeReplacedOrStopped) {
    Application& app = App();
    std::string ran;
    app.StartTimer(7, 20, [&] { ran += "first "; });
    app.StartTimer(7, 20, [&] { ran += "second "; }); // replaces the first
    app.StartTimer(8, 20, [&] { ran += "stopped "; });
    app.StopTimer(8);
    app.StartTimer(9, 10, [&] {
        ran += "again ";
        app.StartTimer(9, 10, [&] { ran += "restarted "; }); // from its own handler
    });
    app.Sleep(300);
    EXPECT_NE(ran.find("second "), std::string::npos) << ran;
    EXPECT_EQ(ran.find("first "), std::string::npos) << ran;
    EXPECT_EQ(ran.find("stopped "), std::string::npos) << ran;
    EXPECT_NE(ran.find("again "), std::string::npos) << ran;
    EXPECT_GT(ran.find("restarted "), ran.find("again ")) << ran;
    const std::size_t length = ran.size();
    app.Sleep(100);
    EXPECT_EQ(ran.size(), length) << "each ran once: " << ran;
}

TEST_F(Win32CoreTest, FontOfTheWindowReachesItsControls) {
    Window window(WindowStyle::Dialog);
    Box box(&window);
    Font font;
    font.height = -13;
    window.SetFont(font);
    auto height = [](const Control& control) {
        LOGFONTW f{};
        auto* handle = reinterpret_cast<HFONT>(::SendMessageW(Handle(control), WM_GETFONT, 0, 0));
        ::GetObjectW(handle, sizeof f, &f);
        return std::make_pair(f.lfHeight, f.lfWeight);
    };
    EXPECT_EQ(height(box), std::make_pair(LONG{-13}, LONG{FW_NORMAL}));
    box.SetBold(true);
    EXPECT_TRUE(box.IsBold());
    EXPECT_EQ(height(box), std::make_pair(LONG{-13}, LONG{FW_BOLD}));
    Box later(&window);
    EXPECT_EQ(height(later).first, -13) << "a control made later starts with the window's font";
}

// The program's icon group gives each window, the hidden application window
// too, its small and its large icon; data that holds no icon changes nothing.
TEST_F(Win32CoreTest, WindowsTakeBothSizesOfTheIconGroup) {
    auto iconWidth = [](HWND window, WPARAM which) {
        auto icon = reinterpret_cast<HICON>(::SendMessageW(window, WM_GETICON, which, 0));
        ICONINFO info{};
        if (!icon || !::GetIconInfo(icon, &info))
            return 0;
        BITMAP bits{};
        ::GetObjectW(info.hbmColor ? info.hbmColor : info.hbmMask, sizeof bits, &bits);
        if (info.hbmColor)
            ::DeleteObject(info.hbmColor);
        ::DeleteObject(info.hbmMask);
        return static_cast<int>(bits.bmWidth);
    };
    Window window(WindowStyle::Main);
    window.SetIcon(FindResource("MAINICON"));
    App().SetIcon(FindResource("MAINICON"));
    for (HWND hwnd : {Handle(window), win32::ApplicationWindow()}) {
        EXPECT_EQ(iconWidth(hwnd, ICON_SMALL), ::GetSystemMetrics(SM_CXSMICON));
        EXPECT_EQ(iconWidth(hwnd, ICON_BIG), ::GetSystemMetrics(SM_CXICON));
    }
    const LRESULT before = ::SendMessageW(Handle(window), WM_GETICON, ICON_BIG, 0);
    window.SetIcon(ResourceData{});
    EXPECT_EQ(::SendMessageW(Handle(window), WM_GETICON, ICON_BIG, 0), before);
}

} // namespace
