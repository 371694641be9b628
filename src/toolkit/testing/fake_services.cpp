#include "toolkit/testing/fake_services.h"

namespace toolkit {

bool FakeClipboard::SetText(const std::string& newText) {
    if (fail)
        return false;
    text = newText;
    history.push_back(newText);
    return true;
}

bool FakeClipboard::Clear() {
    if (fail)
        return false;
    text.clear();
    ++clears;
    return true;
}

bool FakeHotKeys::Register(int id, unsigned mods, int vk) {
    ++registerCalls;
    if (refuse || !available || vk < 0)
        return false;
    auto it = registered.find(id);
    if (it != registered.end())
        // The registration in force stays; the same key again is no failure.
        return it->second == std::make_pair(mods, vk);
    registered[id] = {mods, vk};
    return true;
}

bool FakeHotKeys::Unregister(int id) {
    ++unregisterCalls;
    return registered.erase(id) != 0;
}

int FakeHotKeys::VkKeyScan(char ch) const {
    // A US layout: letters are their capitals, capitals need Shift.
    if (ch >= 'a' && ch <= 'z')
        return ch - 'a' + 'A';
    if (ch >= 'A' && ch <= 'Z')
        return 0x100 | ch;
    if ((ch >= '0' && ch <= '9') || ch == ' ')
        return ch;
    return -1;
}

void FakeHotKeys::SendKeys(const std::vector<KeyEvent>& events) {
    sent.insert(sent.end(), events.begin(), events.end());
}

void FakeSound::PlayWave(const unsigned char*, std::size_t size) { waves.push_back(size); }

void FakeSound::Beep(int frequency, int milliseconds) { beeps.push_back({frequency, milliseconds}); }

bool FakeTrayIcon::Add(const TrayIconData& data) {
    ++adds;
    if (icons.count(data.id) != 0)
        return false; // one icon per id, as the notification area keeps it
    icons[data.id] = data;
    return true;
}

bool FakeTrayIcon::Delete(int id) {
    ++deletes;
    return icons.erase(id) != 0;
}

RegistrationResult FakeFileAssociation::Register(const std::string& exePath) {
    ++registers;
    if (!failure.empty())
        return {false, failure};
    registered.insert(exePath);
    return {};
}

FakePlatform::FakePlatform() : previous_(Platform()) {
    Services fakes;
    fakes.clipboard = &clipboard;
    fakes.hotKeys = &hotKeys;
    fakes.sound = &sound;
    fakes.shell = &shell;
    fakes.trayIcon = &trayIcon;
    fakes.fileAssociation = &fileAssociation;
    fakes.random = previous_.random;
    SetPlatform(fakes);
}

FakePlatform::~FakePlatform() { SetPlatform(previous_); }

} // namespace toolkit
