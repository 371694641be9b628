// The icon in the notification area, over Shell_NotifyIconA: its messages
// (WM_USER + 1) go to a hidden window of its own, which hands the mouse
// message on to OnMouse.
#include <map>
#include <set>

#include "toolkit/services.h"
#include "toolkit/win32/backend.h"

#include <shellapi.h>

namespace toolkit {

namespace {

constexpr UINT kCallbackMessage = WM_USER + 1;
constexpr wchar_t kTrayClass[] = L"TallykeyTrayIcon";

class Win32TrayIcon : public TrayIcon {
public:
    Win32TrayIcon() {
        WNDCLASSEXW wc{};
        wc.cbSize = sizeof wc;
        wc.lpfnWndProc = Proc;
        wc.hInstance = win32::Instance();
        wc.lpszClassName = kTrayClass;
        ::RegisterClassExW(&wc); // fails harmlessly when registered before
        window_ =
            ::CreateWindowExW(0, kTrayClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, win32::Instance(), nullptr);
        if (window_)
            ::SetWindowLongPtrW(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    }

    ~Win32TrayIcon() override {
        for (int id : std::set<int>(ids_))
            Delete(id);
        for (auto& [id, icon] : icons_)
            ::DestroyIcon(icon);
        if (window_)
            ::DestroyWindow(window_);
    }

    bool Add(const TrayIconData& data) override {
        if (!window_)
            return false;
        HICON icon = win32::IconFromGroup(data.icon, ::GetSystemMetrics(SM_CXSMICON));
        NOTIFYICONDATAA nid{};
        nid.cbSize = sizeof nid;
        nid.hWnd = window_;
        nid.uID = static_cast<UINT>(data.id);
        nid.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
        nid.uCallbackMessage = kCallbackMessage;
        nid.hIcon = icon;
        // The tip is the code page's bytes, cut to what the record holds.
        lstrcpynA(nid.szTip, data.tip.c_str(), static_cast<int>(sizeof nid.szTip));
        const bool known = ids_.count(data.id) != 0;
        if (!::Shell_NotifyIconA(known ? NIM_MODIFY : NIM_ADD, &nid)) {
            if (icon)
                ::DestroyIcon(icon);
            return false;
        }
        ids_.insert(data.id);
        if (auto it = icons_.find(data.id); it != icons_.end())
            ::DestroyIcon(it->second);
        icons_[data.id] = icon;
        return true;
    }

    bool Delete(int id) override {
        if (!ids_.count(id))
            return false;
        NOTIFYICONDATAA nid{};
        nid.cbSize = sizeof nid;
        nid.hWnd = window_;
        nid.uID = static_cast<UINT>(id);
        const bool ok = ::Shell_NotifyIconA(NIM_DELETE, &nid) != FALSE;
        ids_.erase(id);
        return ok;
    }

    int IconCount() const override { return static_cast<int>(ids_.size()); }

private:
    static LRESULT CALLBACK Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
        if (message == kCallbackMessage) {
            auto* self = reinterpret_cast<Win32TrayIcon*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
            if (self && self->OnMouse) {
                Dispatch d;
                std::function<void(int)> handler = self->OnMouse;
                handler(static_cast<int>(LOWORD(lParam)));
            }
            return 0;
        }
        return ::DefWindowProcW(hwnd, message, wParam, lParam);
    }

    HWND window_ = nullptr;
    std::set<int> ids_;
    std::map<int, HICON> icons_;
};

} // namespace

namespace win32 {
std::unique_ptr<TrayIcon> MakeTrayIcon() { return std::make_unique<Win32TrayIcon>(); }
} // namespace win32

} // namespace toolkit
