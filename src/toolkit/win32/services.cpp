#include "toolkit/win32/services.h"

// Before windows.h, whose macros share names with the toolkit's key codes.
#include "toolkit/ansi_text.h"
#include "toolkit/types.h"

#include <windows.h>
// The macro would rename HotKeys::VkKeyScan; the function is VkKeyScanA here.
#undef VkKeyScan

#include <mmsystem.h>
#include <shellapi.h>
#include <shlobj.h>

#include <algorithm>
#include <cstring>

namespace toolkit {

namespace {

// --- registry ---

class Key {
public:
    Key() = default;
    ~Key() {
        if (key_)
            ::RegCloseKey(key_);
    }
    Key(const Key&) = delete;
    Key& operator=(const Key&) = delete;
    HKEY* Out() { return &key_; }
    HKEY Get() const { return key_; }

private:
    HKEY key_ = nullptr;
};

// --- message-only windows ---

HWND MessageWindow(const char* className, WNDPROC proc, void* self) {
    HINSTANCE instance = ::GetModuleHandleA(nullptr);
    WNDCLASSEXA wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = proc;
    wc.hInstance = instance;
    wc.lpszClassName = className;
    if (!::RegisterClassExA(&wc) && ::GetLastError() != ERROR_CLASS_ALREADY_EXISTS)
        return nullptr;
    HWND window = ::CreateWindowExA(0, className, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, instance, nullptr);
    if (window)
        ::SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    return window;
}

// --- clipboard ---

// Another program may hold the clipboard for a moment.
bool OpenClipboardWaiting(HWND owner) {
    for (int attempt = 0; attempt < 20; ++attempt) {
        if (::OpenClipboard(owner))
            return true;
        ::Sleep(10);
    }
    return false;
}

struct ClipboardCloser {
    ~ClipboardCloser() { ::CloseClipboard(); }
};

HGLOBAL GlobalCopy(const void* data, std::size_t size) {
    HGLOBAL memory = ::GlobalAlloc(GMEM_MOVEABLE, size);
    if (!memory)
        return nullptr;
    void* p = ::GlobalLock(memory);
    std::memcpy(p, data, size);
    ::GlobalUnlock(memory);
    return memory;
}

// Hands the memory to the clipboard, which owns it from then on.
bool Put(UINT format, const void* data, std::size_t size) {
    HGLOBAL memory = GlobalCopy(data, size);
    if (!memory)
        return false;
    if (::SetClipboardData(format, memory))
        return true;
    ::GlobalFree(memory);
    return false;
}

std::wstring Wide(const std::string& utf8) {
    std::wstring wide;
    const int n = ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    if (n <= 0)
        return wide;
    wide.resize(static_cast<std::size_t>(n));
    ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(), n);
    return wide;
}

std::string Utf8(const wchar_t* wide, std::size_t length) {
    std::string utf8;
    const int size = static_cast<int>(length);
    const int n = ::WideCharToMultiByte(CP_UTF8, 0, wide, size, nullptr, 0, nullptr, nullptr);
    if (n <= 0)
        return utf8;
    utf8.resize(static_cast<std::size_t>(n));
    ::WideCharToMultiByte(CP_UTF8, 0, wide, size, utf8.data(), n, nullptr, nullptr);
    return utf8;
}

// The text in the ANSI code page, or false when that page lacks any of it
// (no look-alike replacements).
bool InAnsiCodePage(const std::wstring& wide, std::string& bytes) {
    bytes.clear();
    if (wide.empty())
        return true;
    const bool utf8 = ::GetACP() == CP_UTF8;
    BOOL usedDefault = FALSE;
    BOOL* used = utf8 ? nullptr : &usedDefault;
    const DWORD flags = utf8 ? 0 : WC_NO_BEST_FIT_CHARS;
    const int size = static_cast<int>(wide.size());
    const int n = ::WideCharToMultiByte(CP_ACP, flags, wide.data(), size, nullptr, 0, nullptr, used);
    if (n <= 0 || usedDefault)
        return false;
    bytes.resize(static_cast<std::size_t>(n));
    return ::WideCharToMultiByte(CP_ACP, flags, wide.data(), size, bytes.data(), n, nullptr, used) == n && !usedDefault;
}

template <typename T>
void Wipe(T& text) {
    ::SecureZeroMemory(text.data(), text.size() * sizeof(text[0]));
}

} // namespace

// --- registry ---

const HKEY kRoot = HKEY_CURRENT_USER;

Win32Registry::Win32Registry(std::string base) : base_(std::move(base)) {}

std::string Win32Registry::Full(const std::string& path) const {
    if (base_.empty())
        return path;
    return path.empty() ? base_ : base_ + "\\" + path;
}

bool Win32Registry::KeyExists(const std::string& path) const {
    Key key;
    return ::RegOpenKeyExA(kRoot, Full(path).c_str(), 0, KEY_READ, key.Out()) == ERROR_SUCCESS;
}

bool Win32Registry::CreateKey(const std::string& path) {
    Key key;
    return ::RegCreateKeyExA(kRoot, Full(path).c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_WRITE, nullptr,
                             key.Out(), nullptr) == ERROR_SUCCESS;
}

bool Win32Registry::SetDefaultValue(const std::string& path, const std::string& value) {
    Key key;
    if (::RegCreateKeyExA(kRoot, Full(path).c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_WRITE, nullptr, key.Out(),
                          nullptr) != ERROR_SUCCESS)
        return false;
    return ::RegSetValueExA(key.Get(), nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                            static_cast<DWORD>(value.size() + 1)) == ERROR_SUCCESS;
}

std::optional<std::string> Win32Registry::DefaultValue(const std::string& path) const {
    Key key;
    if (::RegOpenKeyExA(kRoot, Full(path).c_str(), 0, KEY_READ, key.Out()) != ERROR_SUCCESS)
        return std::nullopt;
    DWORD type = 0;
    DWORD size = 0;
    if (::RegQueryValueExA(key.Get(), nullptr, nullptr, &type, nullptr, &size) != ERROR_SUCCESS ||
        (type != REG_SZ && type != REG_EXPAND_SZ))
        return std::string();
    std::string value(size, '\0');
    if (::RegQueryValueExA(key.Get(), nullptr, nullptr, &type, reinterpret_cast<BYTE*>(value.data()), &size) !=
        ERROR_SUCCESS)
        return std::string();
    value.resize(std::min<std::size_t>(size, value.size()));
    // The stored text may or may not end in its terminator.
    while (!value.empty() && value.back() == '\0')
        value.pop_back();
    return value;
}

bool Win32Registry::DeleteKey(const std::string& path) {
    {
        Key key;
        DWORD subKeys = 0;
        if (::RegOpenKeyExA(kRoot, Full(path).c_str(), 0, KEY_READ, key.Out()) != ERROR_SUCCESS ||
            ::RegQueryInfoKeyA(key.Get(), nullptr, nullptr, nullptr, &subKeys, nullptr, nullptr, nullptr, nullptr,
                               nullptr, nullptr, nullptr) != ERROR_SUCCESS ||
            subKeys != 0)
            return false;
    }
    return ::RegDeleteKeyA(kRoot, Full(path).c_str()) == ERROR_SUCCESS;
}

std::vector<std::string> Win32Registry::SubKeys(const std::string& path) const {
    std::vector<std::string> names;
    Key key;
    if (::RegOpenKeyExA(kRoot, Full(path).c_str(), 0, KEY_READ, key.Out()) != ERROR_SUCCESS)
        return names;
    char name[256]; // the longest key name the registry allows is 255 characters
    for (DWORD index = 0;; ++index) {
        DWORD length = sizeof name;
        if (::RegEnumKeyExA(key.Get(), index, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        names.emplace_back(name, length);
    }
    return names;
}

void NotifyAssociationChanged() { ::SHChangeNotify(SHCNE_ASSOCCHANGED, 0, nullptr, nullptr); }

// --- clipboard ---

Win32Clipboard::Win32Clipboard() : window_(MessageWindow("TallykeyClipboardWindow", ::DefWindowProcA, nullptr)) {}

Win32Clipboard::~Win32Clipboard() {
    if (window_)
        ::DestroyWindow(window_);
}

bool Win32Clipboard::SetText(const std::string& text) {
    // SetClipboardData fails for a clipboard opened without an owner window.
    if (!window_ || !OpenClipboardWaiting(window_))
        return false;
    ClipboardCloser closer;
    if (!::EmptyClipboard())
        return false;
    std::string utf8 = AnsiToUtf8(text, CurrentCodePage());
    std::wstring wide = Wide(utf8);
    std::string ansi;
    bool ok;
    if (InAnsiCodePage(wide, ansi))
        ok = Put(CF_TEXT, ansi.c_str(), ansi.size() + 1);
    else
        ok = Put(CF_UNICODETEXT, wide.c_str(), (wide.size() + 1) * sizeof(wchar_t));
    Wipe(utf8);
    Wipe(wide);
    Wipe(ansi);
    // Windows 10's clipboard history and cloud clipboard skip a copy that
    // says so; clipboard managers skip one marked for no monitoring.
    const DWORD no = 0;
    for (const char* name : {"ExcludeClipboardContentFromMonitorProcessing", "CanIncludeInClipboardHistory",
                             "CanUploadToCloudClipboard"}) {
        const UINT format = ::RegisterClipboardFormatA(name);
        ok = ok && format != 0 && Put(format, &no, sizeof no);
    }
    if (!ok)
        ::EmptyClipboard(); // no copy that history could keep
    return ok;
}

bool Win32Clipboard::Clear() {
    if (!window_ || !OpenClipboardWaiting(window_))
        return false;
    ClipboardCloser closer;
    return ::EmptyClipboard() != 0;
}

std::string Win32Clipboard::Text() const {
    if (!OpenClipboardWaiting(window_))
        return {};
    ClipboardCloser closer;
    HANDLE memory = ::GetClipboardData(CF_UNICODETEXT);
    if (!memory)
        return {};
    const auto* wide = static_cast<const wchar_t*>(::GlobalLock(memory));
    if (!wide)
        return {};
    const std::size_t capacity = ::GlobalSize(memory) / sizeof(wchar_t);
    std::size_t length = 0;
    while (length < capacity && wide[length] != L'\0')
        ++length;
    std::string utf8 = Utf8(wide, length);
    ::GlobalUnlock(memory);
    std::string text = Utf8ToAnsi(utf8, CurrentCodePage());
    Wipe(utf8);
    return text;
}

// --- hot keys and synthetic keys ---

Win32HotKeys::~Win32HotKeys() {
    for (const auto& [id, key] : keys_)
        ::UnregisterHotKey(window_, id);
    if (window_)
        ::DestroyWindow(window_);
}

struct HotKeyWindow {
    static LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        if (message == WM_HOTKEY) {
            auto* self = reinterpret_cast<Win32HotKeys*>(::GetWindowLongPtrA(window, GWLP_USERDATA));
            if (self && self->OnHotKey)
                self->OnHotKey(static_cast<int>(wParam));
            return 0;
        }
        return ::DefWindowProcA(window, message, wParam, lParam);
    }
};

Win32HotKeys::Win32HotKeys() : window_(MessageWindow("TallykeyHotKeyWindow", HotKeyWindow::Proc, this)) {}

bool Win32HotKeys::Register(int id, unsigned mods, int vk) {
    if (!window_)
        return false;
    vk &= 0xFF; // VkKeyScan's shift state is not part of the key
    if (auto it = keys_.find(id); it != keys_.end())
        return it->second.mods == mods && it->second.vk == vk; // the registration in force stays
    UINT native = MOD_NOREPEAT;
    if (mods & ModShift)
        native |= MOD_SHIFT;
    if (mods & ModCtrl)
        native |= MOD_CONTROL;
    if (mods & ModAlt)
        native |= MOD_ALT;
    if (!::RegisterHotKey(window_, id, native, static_cast<UINT>(vk)))
        return false;
    keys_[id] = {mods, vk};
    return true;
}

bool Win32HotKeys::Unregister(int id) {
    auto it = keys_.find(id);
    if (it == keys_.end())
        return false;
    keys_.erase(it);
    return ::UnregisterHotKey(window_, id) != 0;
}

bool Win32HotKeys::IsRegistered(int id) const { return keys_.count(id) != 0; }

int Win32HotKeys::VkKeyScan(char ch) const {
    const SHORT code = ::VkKeyScanA(ch);
    return code == -1 ? -1 : code & 0xFFFF;
}

void Win32HotKeys::SendKeys(const std::vector<KeyEvent>& events) {
    std::vector<INPUT> inputs;
    inputs.reserve(events.size());
    for (const KeyEvent& event : events) {
        INPUT input{};
        input.type = INPUT_KEYBOARD;
        input.ki.wVk = static_cast<WORD>(event.vk);
        input.ki.wScan = static_cast<WORD>(::MapVirtualKeyA(static_cast<UINT>(event.vk), MAPVK_VK_TO_VSC));
        input.ki.dwFlags = event.up ? KEYEVENTF_KEYUP : 0;
        inputs.push_back(input);
    }
    if (!inputs.empty())
        ::SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
}

// --- sound ---

void Win32Sound::PlayWave(const unsigned char* data, std::size_t size) {
    if (!data || size == 0)
        return;
    ::sndPlaySoundA(reinterpret_cast<LPCSTR>(data), SND_MEMORY | SND_ASYNC | SND_NODEFAULT);
}

void Win32Sound::Beep(int frequency, int milliseconds) {
    if (!::Beep(static_cast<DWORD>(frequency), static_cast<DWORD>(milliseconds)))
        ::MessageBeep(MB_OK);
}

// --- shell ---

bool Win32Shell::Open(const std::string& target) {
    const auto result =
        reinterpret_cast<INT_PTR>(::ShellExecuteA(nullptr, "open", target.c_str(), nullptr, nullptr, SW_SHOWNORMAL));
    return result > 32; // 32 and below are the error codes
}

bool Win32Shell::HasOpener(const std::string& path) const {
    char program[MAX_PATH] = {};
    return reinterpret_cast<INT_PTR>(::FindExecutableA(path.c_str(), nullptr, program)) > 32;
}

// --- all of them ---

Win32Services::Win32Services() : association_(registry_, NotifyAssociationChanged) {}

Services Win32Services::Get() {
    Services services;
    services.clipboard = &clipboard_;
    services.hotKeys = &hotKeys_;
    services.sound = &sound_;
    services.shell = &shell_;
    services.fileAssociation = &association_;
    services.random = &SystemRandom();
    return services;
}

} // namespace toolkit
