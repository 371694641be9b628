// The Windows services that need no window of the window backend: the
// registry, the clipboard, the global hot keys and synthetic keys, sound and
// the shell. The clipboard and the hot keys own a hidden message-only window
// of their own, so any message loop of the thread (GetMessage and
// DispatchMessage) delivers what they receive. The tray icon belongs to the
// window backend and is not here.
#pragma once

#include <map>
#include <string>

#include "toolkit/registry.h"
#include "toolkit/registry_file_association.h"
#include "toolkit/services.h"

// The handle types of windows.h, whose macros clash with the toolkit's key codes.
struct HWND__;
struct HKEY__;

namespace toolkit {

// Keys below HKEY_CURRENT_USER\`base` of the real registry; the file-type
// layout lives in HKEY_CURRENT_USER\Software\Classes, the user's part of
// HKEY_CLASSES_ROOT, which needs no administrator. Names are in the ANSI code
// page, as the A functions take them.
class Win32Registry : public Registry {
public:
    explicit Win32Registry(std::string base = "Software\\Classes");
    bool KeyExists(const std::string& path) const override;
    bool CreateKey(const std::string& path) override;
    bool SetDefaultValue(const std::string& path, const std::string& value) override;
    // Nothing for a missing key; "" for a key without a text default value.
    std::optional<std::string> DefaultValue(const std::string& path) const override;
    bool DeleteKey(const std::string& path) override;
    std::vector<std::string> SubKeys(const std::string& path) const override;

private:
    std::string base_;
    std::string Full(const std::string& path) const;
};

// Tells the shell that a file association changed (SHCNE_ASSOCCHANGED, no
// flags, no items), so that Explorer shows the new icons and verbs.
void NotifyAssociationChanged();

// The clipboard. The text is in the current code page (ansi_text.h): it goes
// on as CF_TEXT when the ANSI code page holds it, else as CF_UNICODETEXT, so
// that nothing is replaced; Windows makes the other format from it. Each copy
// carries the formats that keep it out of the clipboard history, the cloud
// clipboard and clipboard monitors.
class Win32Clipboard : public Clipboard {
public:
    Win32Clipboard();
    ~Win32Clipboard() override;
    Win32Clipboard(const Win32Clipboard&) = delete;
    Win32Clipboard& operator=(const Win32Clipboard&) = delete;
    bool SetText(const std::string& text) override;
    bool Clear() override;
    // Read as Unicode and given in the current code page ("?" for what it lacks).
    std::string Text() const override;

private:
    HWND__* window_;
};

// RegisterHotKey on a message-only window; WM_HOTKEY reaches OnHotKey through
// the thread's message loop. Keys are sent with SendInput.
class Win32HotKeys : public HotKeys {
public:
    Win32HotKeys();
    ~Win32HotKeys() override;
    Win32HotKeys(const Win32HotKeys&) = delete;
    Win32HotKeys& operator=(const Win32HotKeys&) = delete;
    bool Register(int id, unsigned mods, int vk) override;
    bool Unregister(int id) override;
    bool IsRegistered(int id) const override;
    bool Available() const override { return window_ != nullptr; }
    // VkKeyScanA: the virtual key in the low byte, the shift state in the high byte.
    int VkKeyScan(char ch) const override;
    void SendKeys(const std::vector<KeyEvent>& events) override;

private:
    struct Key {
        unsigned mods;
        int vk;
    };
    HWND__* window_;
    std::map<int, Key> keys_;
    friend struct HotKeyWindow;
};

// sndPlaySoundA from memory, asynchronously; the wave's bytes must outlive the
// sound (the embedded resources do). Beep falls back to MessageBeep where the
// system has no beeper.
class Win32Sound : public Sound {
public:
    void PlayWave(const unsigned char* data, std::size_t size) override;
    void Beep(int frequency, int milliseconds) override;
};

// ShellExecuteA "open"; the target is in the system's own encoding (a path or a URL).
class Win32Shell : public Shell {
public:
    bool Open(const std::string& target) override;
    bool HasOpener(const std::string& path) const override;
};

// All of the above with the system random source, as the application object
// installs them; the tray icon is left to the window backend.
class Win32Services {
public:
    Win32Services();
    Services Get();

private:
    Win32Registry registry_;
    RegistryFileAssociation association_;
    Win32Clipboard clipboard_;
    Win32HotKeys hotKeys_;
    Win32Sound sound_;
    Win32Shell shell_;
};

} // namespace toolkit
