// What the tests of the Win32 backend's core share: the application object
// and small controls over native window classes, made as the backend's
// controls make theirs.
#pragma once

#include "toolkit/win32/backend.h"

#include <functional>
#include <memory>

#include "support/test_app.h"
#include "toolkit/application.h"

namespace tallykey::test::win32core {

using namespace toolkit;

inline Application& App() { return TestApp(); }

// A child control over a native window class, holding controls of its own:
// it hands its children's notifications to them, as a container does.
class Box : public Container {
public:
    explicit Box(Container* parent, const wchar_t* className = L"STATIC") : Container(parent) {
        auto im = std::make_unique<BoxImpl>();
        im->container = true;
        im->CreateChild(parent, className, 0);
        Attach(std::move(im));
    }

private:
    struct BoxImpl : Impl {
        bool Filter(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override {
            return win32::ReflectToChild(message, wParam, lParam, result);
        }
    };
};

// A push button whose click notification runs `onClick`.
class PushBox : public Control {
public:
    explicit PushBox(Container& parent) : Control(&parent) {
        auto im = std::make_unique<ClickImpl>();
        im->CreateChild(&parent, L"BUTTON", BS_PUSHBUTTON | WS_TABSTOP, 0, L"Push");
        Attach(std::move(im));
    }
    std::function<void()> onClick;

private:
    struct ClickImpl : Impl {
        bool Reflect(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override {
            if (message == WM_COMMAND && HIWORD(wParam) == BN_CLICKED) {
                // The handler may destroy the control, this record with it.
                std::function<void()> run = static_cast<PushBox*>(self)->onClick;
                if (run)
                    run();
                return true;
            }
            return Impl::Reflect(message, wParam, lParam, result);
        }
    };
};

inline HWND Handle(const Control& control) { return control.impl() ? control.impl()->hwnd : nullptr; }

// An edit box that takes the focus with Tab; a multi-line one that wants
// returns takes Enter itself.
class TextBox : public Control {
public:
    explicit TextBox(Container& parent, bool wantsReturn = false) : Control(&parent) {
        auto im = std::make_unique<EditImpl>();
        im->wantsReturn = wantsReturn;
        const DWORD style = WS_TABSTOP | WS_BORDER | ES_AUTOHSCROLL |
                            (wantsReturn ? DWORD{ES_MULTILINE | ES_WANTRETURN | ES_AUTOVSCROLL} : DWORD{0});
        im->CreateChild(&parent, L"EDIT", style);
        Attach(std::move(im));
    }
    std::wstring Text() const { return toolkit::win32::WindowTextW(Handle(*this)); }

private:
    struct EditImpl : Impl {
        bool wantsReturn = false;
        bool TakesEnter() const override { return wantsReturn; }
    };
};

} // namespace tallykey::test::win32core
