// Recording fakes of the platform services, for tests.
#pragma once

#include <map>
#include <set>
#include <string>
#include <vector>

#include "toolkit/services.h"

namespace toolkit {

class FakeClipboard : public Clipboard {
public:
    bool SetText(const std::string& text) override;
    bool Clear() override;
    std::string Text() const override { return text; }
    std::string text;
    std::vector<std::string> history; // every SetText, in order
    int clears = 0;
    bool fail = false;                // as if another program held the clipboard
};

class FakeHotKeys : public HotKeys {
public:
    bool Register(int id, unsigned mods, int vk) override;
    bool Unregister(int id) override;
    bool IsRegistered(int id) const override { return registered.count(id) != 0; }
    bool Available() const override { return available; }
    int VkKeyScan(char ch) const override;
    void SendKeys(const std::vector<KeyEvent>& events) override;
    void Press(int id) { if (OnHotKey) OnHotKey(id); } // as the user pressing the key
    std::map<int, std::pair<unsigned, int>> registered; // id -> (mods, vk)
    std::vector<KeyEvent> sent;
    int registerCalls = 0;
    int unregisterCalls = 0;
    bool refuse = false;   // as if another program held the key
    bool available = true; // false: as on a desktop without global keys
};

class FakeSound : public Sound {
public:
    void PlayWave(const unsigned char* data, std::size_t size) override;
    void Beep(int frequency, int milliseconds) override;
    struct Tone { int frequency; int milliseconds; };
    std::vector<Tone> beeps;
    std::vector<std::size_t> waves; // sizes of the waves started
};

class FakeShell : public Shell {
public:
    bool Open(const std::string& target) override { opened.push_back(target); return true; }
    bool HasOpener(const std::string& path) const override { return !withoutOpener.count(path); }
    std::vector<std::string> opened;
    std::set<std::string> withoutOpener; // files the desktop has no program for
};

class FakeTrayIcon : public TrayIcon {
public:
    bool Add(const TrayIconData& data) override;
    bool Delete(int id) override;
    int IconCount() const override { return static_cast<int>(icons.size()); }
    bool Available() const override { return available; }
    void Mouse(int message) { if (OnMouse) OnMouse(message); }
    std::map<int, TrayIconData> icons;
    int adds = 0;
    int deletes = 0;
    bool available = true; // false: a desktop without a notification area
};

class FakeFileAssociation : public FileAssociation {
public:
    bool IsRegistered(const std::string& exePath) const override { return registered.count(exePath) != 0; }
    RegistrationResult Register(const std::string& exePath) override;
    void Unregister(const std::string& exePath) override { registered.erase(exePath); ++unregisters; }
    std::set<std::string> registered;
    int registers = 0;
    int unregisters = 0;
    std::string failure; // when set, Register fails with this reason and changes nothing
};

// Installs a full set of fakes for its lifetime and puts the previous
// services back afterwards.
class FakePlatform {
public:
    FakePlatform();
    ~FakePlatform();
    FakePlatform(const FakePlatform&) = delete;
    FakePlatform& operator=(const FakePlatform&) = delete;

    FakeClipboard clipboard;
    FakeHotKeys hotKeys;
    FakeSound sound;
    FakeShell shell;
    FakeTrayIcon trayIcon;
    FakeFileAssociation fileAssociation;

private:
    Services previous_;
};

} // namespace toolkit
