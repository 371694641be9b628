// Windows menus on the native menu of their window: the bar's items and
// texts, its shortcuts, the client size it leaves; pop-ups a person answers.
#include "toolkit/win32/backend.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "support/test_app.h"
#include "toolkit/application.h"
#include "toolkit/controls.h"
#include "toolkit/menu.h"

using namespace toolkit;

namespace {

Application& App() { return tallykey::test::TestApp(); }

HWND Handle(const Control& control) { return control.impl() ? control.impl()->hwnd : nullptr; }

std::wstring NativeText(HMENU menu, UINT position) {
    wchar_t buffer[256] = {};
    ::GetMenuStringW(menu, position, buffer, 256, MF_BYPOSITION);
    return buffer;
}

TEST(Win32Menus, BarFromTemplateKeepsClientSizeAndRunsEnabledItemsOnly) {
    App();
    Window window(WindowStyle::Main);
    window.SetClientSize(300, 200);
    int opened = 0, saved = 0;
    {
        Menu bar(window, Menu::Kind::Bar, {"File", "(", "Open\tCtrl+O", "-", "Save", ")", ""});
        window.SetMenu(&bar);
        EXPECT_EQ(::GetMenu(Handle(window)), win32::MenuHandle(bar));
        EXPECT_EQ(window.ClientWidth(), 300);
        EXPECT_EQ(window.ClientHeight(), 200);

        HMENU file = ::GetSubMenu(win32::MenuHandle(bar), 0);
        ASSERT_NE(file, nullptr);
        EXPECT_EQ(NativeText(win32::MenuHandle(bar), 0), L"File");
        EXPECT_EQ(NativeText(file, 0), L"Open\tCtrl+O");
        EXPECT_TRUE(::GetMenuState(file, 1, MF_BYPOSITION) & MF_SEPARATOR);
        const UINT id = ::GetMenuItemID(file, 0);
        EXPECT_GE(id, 0x8000u);
        EXPECT_LE(id, 0xDFFFu);

        bar.SetOnClick(1, [&] { ++opened; });
        bar.SetOnClick(3, [&] { ++saved; });
        bar.SetEnabled(3, false);
        EXPECT_TRUE(::GetMenuState(file, 2, MF_BYPOSITION) & (MF_GRAYED | MF_DISABLED));
        ::SendMessageW(Handle(window), WM_COMMAND, MAKEWPARAM(id, 0), 0);
        bar.Click(3);
        EXPECT_EQ(opened, 1);
        EXPECT_EQ(saved, 0);
        window.SetMenu(nullptr);
    }
    // The bar gone, its room goes back to the client.
    EXPECT_EQ(::GetMenu(Handle(window)), nullptr);
    EXPECT_EQ(window.ClientWidth(), 300);
    RECT outer{};
    ::GetWindowRect(Handle(window), &outer);
    RECT frame{0, 0, 300, window.ClientHeight()};
    ::AdjustWindowRectEx(&frame, static_cast<DWORD>(::GetWindowLongPtrW(Handle(window), GWL_STYLE)), FALSE,
                         static_cast<DWORD>(::GetWindowLongPtrW(Handle(window), GWL_EXSTYLE)));
    EXPECT_EQ(outer.bottom - outer.top, frame.bottom - frame.top);
}

// A pop-up a person sees: it opens at the point, takes the keys while open,
// and the item chosen runs its handler once the menu has closed.
TEST(Win32Menus, PopupOpenForAPersonRunsTheChosenItem) {
    App();
    Window window(WindowStyle::Main);
    window.Show();
    Menu popup(window, Menu::Kind::Popup, {"&Add", "&Remove", "-", "&Close"});
    std::vector<std::string> ran;
    popup.SetOnClick(0, [&] { ran.push_back("add"); });
    popup.SetOnClick(1, [&] { ran.push_back(::FindWindowW(L"#32768", nullptr) ? "remove, menu open" : "remove"); });
    popup.OnPopup = [&] { ran.push_back("popup"); };
    RECT seen{};
    int tries = 0;
    std::function<void()> choose = [&] {
        HWND open = ::FindWindowW(L"#32768", nullptr); // the class of an open menu
        if (!open || !::IsWindowVisible(open)) {
            if (++tries < 100)
                App().StartTimer(9, 50, choose);
            return;
        }
        ::GetWindowRect(open, &seen);
        ::PostMessageW(open, WM_KEYDOWN, 'R', 0); // the access key of "&Remove"
    };
    SetNobodyAtTheScreen(false);
    App().StartTimer(9, 50, choose);
    EXPECT_TRUE(popup.Popup(120, 90));
    SetNobodyAtTheScreen(true);
    EXPECT_EQ(ran, (std::vector<std::string>{"popup", "remove"}));
    EXPECT_EQ(seen.left, 120);
    EXPECT_EQ(seen.top, 90);
    EXPECT_EQ(popup.PopupCount(), 1);
}

} // namespace
