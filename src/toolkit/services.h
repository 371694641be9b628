// Platform services: small interfaces with one implementation per platform
// and a recording fake for tests (testing/fake_services.h). The program reaches them
// through Platform(); the application object installs the real ones.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "toolkit/resources.h"

namespace toolkit {

class Clipboard {
public:
    virtual ~Clipboard() = default;
    // Replaces the whole clipboard content by the plain text (8-bit ANSI),
    // marked as a secret so clipboard histories do not keep it.
    virtual bool SetText(const std::string& text) = 0;
    // Drops every format on the clipboard.
    virtual bool Clear() = 0;
    // The plain text now on the clipboard (empty when there is none).
    virtual std::string Text() const = 0;
};

struct KeyEvent {
    int vk = 0;
    bool up = false;
};

class HotKeys {
public:
    virtual ~HotKeys() = default;
    // A system-wide hot key; false when it cannot be had (taken by another
    // program, no such key, no display). Registering an id that is already
    // registered keeps the registration in force.
    virtual bool Register(int id, unsigned mods, int vk) = 0;
    virtual bool Unregister(int id) = 0;
    virtual bool IsRegistered(int id) const = 0;
    // False where the desktop lets no program have system-wide keys (no X
    // server, as on Wayland): then every Register fails.
    virtual bool Available() const = 0;
    // Virtual key of a character in the current keyboard layout, -1 if none.
    virtual int VkKeyScan(char ch) const = 0;
    // Synthetic key events to whatever window has the keyboard focus.
    virtual void SendKeys(const std::vector<KeyEvent>& events) = 0;
    // Runs on the user-interface thread when a registered hot key is pressed.
    std::function<void(int id)> OnHotKey;
};

class Sound {
public:
    virtual ~Sound() = default;
    // Starts a RIFF WAVE playing and returns at once; a new wave cuts off one
    // still playing. No sound device: silence.
    virtual void PlayWave(const unsigned char* data, std::size_t size) = 0;
    // A tone of the frequency; returns when it has ended.
    virtual void Beep(int frequency, int milliseconds) = 0;
};

class Shell {
public:
    virtual ~Shell() = default;
    // Opens a URL or a file with the desktop's default program for it.
    virtual bool Open(const std::string& target) = 0;
    // Whether the desktop has a program for the type of the file at `path`.
    virtual bool HasOpener(const std::string& path) const = 0;
};

struct TrayIconData {
    int id = 1;
    std::string tip;
    ResourceData icon; // in the image format of the platform (PNG on Linux)
};

class TrayIcon {
public:
    virtual ~TrayIcon() = default;
    virtual bool Add(const TrayIconData& data) = 0;
    virtual bool Delete(int id) = 0;
    virtual int IconCount() const = 0;
    // False when the desktop shows no notification area: an added icon
    // would not be seen.
    virtual bool Available() const { return true; }
    // Mouse message on the icon (WM_LBUTTONUP, WM_RBUTTONUP, ...).
    std::function<void(int mouseMessage)> OnMouse;
};

// How a registration of the file type ended; `message` tells the user why
// it failed.
struct RegistrationResult {
    bool ok = true;
    std::string message;
};

// Association of the database file type with this program on the desktop.
class FileAssociation {
public:
    virtual ~FileAssociation() = default;
    virtual bool IsRegistered(const std::string& exePath) const = 0;
    virtual RegistrationResult Register(const std::string& exePath) = 0;
    virtual void Unregister(const std::string& exePath) = 0;
};

class RandomSource {
public:
    virtual ~RandomSource() = default;
    // Bytes from the system's cryptographic random source.
    virtual void Fill(unsigned char* buffer, std::size_t size) = 0;
};

// The system's cryptographic random source, one per platform; it works before
// any window exists (key material, the command-line tools).
RandomSource& SystemRandom();

struct Services {
    Clipboard* clipboard = nullptr;
    HotKeys* hotKeys = nullptr;
    Sound* sound = nullptr;
    Shell* shell = nullptr;
    TrayIcon* trayIcon = nullptr;
    FileAssociation* fileAssociation = nullptr;
    RandomSource* random = nullptr;
};

// The services in use. Before the application object exists only `random`
// is set (the system source).
Services& Platform();
void SetPlatform(const Services& services);

} // namespace toolkit
