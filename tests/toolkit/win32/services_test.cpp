// The Windows services over the real registry, clipboard, hot keys, shell and
// notification area of the Wine prefix the tests run in.
#include "toolkit/win32/services.h"

// Before windows.h, whose macros share names with the toolkit's key codes.
#include "toolkit/types.h"

#include <windows.h>
// The macro would rename HotKeys::VkKeyScan.
#undef VkKeyScan

#include <shellapi.h>

#include <gtest/gtest.h>

#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "support/code_page_scope.h"
#include "support/temp_folder.h"
#include "toolkit/resources.h"
#include "toolkit/win32/backend.h"

namespace {

using toolkit::RegistryFileAssociation;
using toolkit::Win32Clipboard;
using toolkit::Win32Registry;

// A default value read straight from the registry, bypassing the service.
std::optional<std::string> Value(HKEY root, const std::string& path) {
    char buffer[1024];
    DWORD size = sizeof buffer;
    if (::RegGetValueA(root, path.c_str(), nullptr, RRF_RT_REG_SZ, nullptr, buffer, &size) != ERROR_SUCCESS)
        return std::nullopt;
    return std::string(buffer);
}

bool Exists(HKEY root, const std::string& path) {
    HKEY key = nullptr;
    if (::RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    ::RegCloseKey(key);
    return true;
}

TEST(Win32Services, FileTypeGoesIntoTheUsersClassesAndComesOutAgainLeavingOtherSoftwaresKeys) {
    const std::string exe = "C:\\Program Files\\Tallykey\\tallyk.exe";
    const std::string classes = "Software\\Classes\\";
    Win32Registry registry;
    int notified = 0;
    RegistryFileAssociation association(registry, [&] {
        ++notified;
        toolkit::NotifyAssociationChanged();
    });
    association.Unregister(exe); // whatever an earlier run left
    ASSERT_FALSE(association.IsRegistered(exe));
    notified = 0;

    ASSERT_TRUE(association.Register(exe).ok);
    EXPECT_TRUE(association.IsRegistered(exe));
    const std::string command = exe + " \"%1\"";
    EXPECT_EQ(Value(HKEY_CURRENT_USER, classes + ".tkf"), "tkffile");
    EXPECT_EQ(Value(HKEY_CURRENT_USER, classes + "tkffile"), "Tallykey File");
    EXPECT_EQ(Value(HKEY_CURRENT_USER, classes + "tkffile\\DefaultIcon"), exe + ",1");
    EXPECT_EQ(Value(HKEY_CURRENT_USER, classes + "tkffile\\Shell"), "Open");
    EXPECT_EQ(Value(HKEY_CURRENT_USER, classes + "tkffile\\Shell\\Open\\Command"), command);
    EXPECT_EQ(Value(HKEY_CURRENT_USER, classes + "Applications\\tallyk.exe\\Shell\\Open\\Command"), command);

    association.Unregister(exe);
    EXPECT_FALSE(association.IsRegistered(exe));
    for (const char* key : {".tkf", "tkffile", "Applications\\tallyk.exe"})
        EXPECT_FALSE(Exists(HKEY_CURRENT_USER, classes + key)) << key;
    EXPECT_EQ(notified, 1); // on registering only

    // A verb another program added keeps its class key.
    ASSERT_TRUE(association.Register(exe).ok);
    ASSERT_TRUE(registry.SetDefaultValue("tkffile\\Shell\\Print\\Command", "print.exe \"%1\""));
    association.Unregister(exe);
    EXPECT_FALSE(Exists(HKEY_CURRENT_USER, classes + ".tkf"));
    EXPECT_FALSE(Exists(HKEY_CURRENT_USER, classes + "tkffile\\Shell\\Open"));
    EXPECT_EQ(Value(HKEY_CURRENT_USER, classes + "tkffile\\Shell\\Print\\Command"), "print.exe \"%1\"");
    ::RegDeleteTreeA(HKEY_CURRENT_USER, (classes + "tkffile").c_str());
}

// The DWORD of a registered clipboard format, or nothing when it is absent.
std::optional<DWORD> FormatValue(const char* name) {
    const UINT format = ::RegisterClipboardFormatA(name);
    HANDLE memory = ::GetClipboardData(format);
    if (!memory || ::GlobalSize(memory) < sizeof(DWORD))
        return std::nullopt;
    DWORD value = 0;
    std::memcpy(&value, ::GlobalLock(memory), sizeof value);
    ::GlobalUnlock(memory);
    return value;
}

TEST(Win32Services, ClipboardCopyIsMarkedSecretAndReadsBackInTheCurrentCodePage) {
    Win32Clipboard clipboard;
    ASSERT_TRUE(clipboard.SetText("pa$$ word 1"));
    EXPECT_EQ(clipboard.Text(), "pa$$ word 1");
    ASSERT_TRUE(::OpenClipboard(nullptr));
    HANDLE text = ::GetClipboardData(CF_TEXT);
    ASSERT_NE(text, nullptr);
    EXPECT_STREQ(static_cast<const char*>(::GlobalLock(text)), "pa$$ word 1");
    ::GlobalUnlock(text);
    for (const char* name :
         {"ExcludeClipboardContentFromMonitorProcessing", "CanIncludeInClipboardHistory", "CanUploadToCloudClipboard"})
        EXPECT_EQ(FormatValue(name), DWORD{0}) << name;
    ::CloseClipboard();

    ASSERT_TRUE(clipboard.Clear());
    EXPECT_EQ(clipboard.Text(), "");

    // Cyrillic in 1251 while the ANSI code page is another: it goes on as
    // Unicode, unreplaced, and comes back as the same bytes.
    if (::GetACP() != 1251) {
        tallykey::test::CodePageScope cyrillic(1251);
        const std::string word = "\xEF\xE0\xF0\xEE\xEB\xFC"; // "пароль"
        ASSERT_TRUE(clipboard.SetText(word));
        EXPECT_EQ(clipboard.Text(), word);
        ASSERT_TRUE(::OpenClipboard(nullptr));
        HANDLE wide = ::GetClipboardData(CF_UNICODETEXT);
        ASSERT_NE(wide, nullptr);
        EXPECT_EQ(std::wstring(static_cast<const wchar_t*>(::GlobalLock(wide))),
                  L"\x043F\x0430\x0440\x043E\x043B\x044C");
        ::GlobalUnlock(wide);
        ::CloseClipboard();
    }
    clipboard.Clear();
}

TEST(Win32Services, HotKeyIsHeldOnceAndReachesItsHandlerThroughTheThreadsMessageLoop) {
    toolkit::Win32HotKeys keys;
    const int k = keys.VkKeyScan('k') & 0xFF;
    ASSERT_EQ(k, 'K');
    const unsigned mods = toolkit::ModCtrl | toolkit::ModAlt;
    ASSERT_TRUE(keys.Register(7, mods, k));
    EXPECT_TRUE(keys.Register(7, mods, k));
    EXPECT_FALSE(keys.Register(7, toolkit::ModCtrl, k)); // the first stays in force
    EXPECT_TRUE(keys.IsRegistered(7));

    std::vector<int> pressed;
    keys.OnHotKey = [&](int id) { pressed.push_back(id); };
    HWND window = ::FindWindowExA(HWND_MESSAGE, nullptr, "TallykeyHotKeyWindow", nullptr);
    ASSERT_NE(window, nullptr);
    ::PostMessageA(window, WM_HOTKEY, 7, 0);
    MSG message;
    while (::PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE))
        ::DispatchMessageA(&message);
    EXPECT_EQ(pressed, std::vector<int>{7});

    toolkit::Win32HotKeys other;
    EXPECT_FALSE(other.Register(8, mods, k)); // taken
    EXPECT_TRUE(keys.Unregister(7));
    EXPECT_FALSE(keys.IsRegistered(7));
    EXPECT_TRUE(other.Register(8, mods, k));
}

// The shell holds a record for the window and id: NIM_MODIFY of it succeeds.
bool ShellHoldsIcon(HWND window, UINT id) {
    NOTIFYICONDATAA nid{};
    nid.cbSize = sizeof nid;
    nid.hWnd = window;
    nid.uID = id;
    nid.uFlags = NIF_TIP;
    std::strcpy(nid.szTip, "probe");
    return ::Shell_NotifyIconA(NIM_MODIFY, &nid) != FALSE;
}

TEST(Win32Services, TrayIconIsOneShellRecordPerIdAndHandsItsMouseMessagesOn) {
    auto tray = toolkit::win32::MakeTrayIcon();
    HWND window = ::FindWindowExA(HWND_MESSAGE, nullptr, "TallykeyTrayIcon", nullptr);
    ASSERT_NE(window, nullptr);
    toolkit::TrayIconData data{1, std::string(300, 't'), toolkit::FindResource("MAINICON")};
    ASSERT_TRUE(tray->Add(data)) << "a tip longer than the record holds is cut";
    data.tip = "Tallykey 0.4";
    EXPECT_TRUE(tray->Add(data)) << "the same id again changes its record";
    EXPECT_EQ(tray->IconCount(), 1);
    EXPECT_TRUE(ShellHoldsIcon(window, 1));
    EXPECT_FALSE(ShellHoldsIcon(window, 2));

    std::vector<int> mouse;
    tray->OnMouse = [&](int message) { mouse.push_back(message); };
    ::SendMessageA(window, WM_USER + 1, 1, WM_LBUTTONDBLCLK);
    ::SendMessageA(window, WM_USER + 1, 1, MAKELPARAM(WM_RBUTTONUP, 0));
    EXPECT_EQ(mouse, (std::vector<int>{WM_LBUTTONDBLCLK, WM_RBUTTONUP}));

    EXPECT_TRUE(tray->Delete(1));
    EXPECT_FALSE(ShellHoldsIcon(window, 1)) << "the shell's record goes with it";
    EXPECT_FALSE(tray->Delete(1));
    EXPECT_EQ(tray->IconCount(), 0);
}

TEST(Win32Services, OpeningAMissingFileFails) {
    tallykey::test::TempFolder folder;
    toolkit::Win32Shell shell;
    EXPECT_FALSE(shell.Open(folder.Path() + "\\missing.txt"));
    EXPECT_FALSE(shell.HasOpener(folder.Path() + "\\missing.txt"));
}

} // namespace
