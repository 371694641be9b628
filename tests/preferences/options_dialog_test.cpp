// The options dialog driven as a person drives it.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <tuple>

#include "mainwindow/main_form.h"
#include "preferences/options_dialog.h"
#include "support/code_page_scope.h"
#include "test_app.h"
#include "toolkit/ansi_text.h"
#include "toolkit/modal_hook.h"
#include "toolkit/testing/test_input.h"

using namespace tallykey;
using toolkit::input::ClickCloseBox;
using toolkit::input::ClickOn;
using toolkit::input::PressKey;

namespace {

auto Fields(const TSettings& s) {
    return std::tie(s.HidePass, s.LangFile, s.QuickCopy, s.QuickCopyItem, s.BeepOnCopy, s.BeepWithCard,
                    s.MinOnCopy, s.OnWebLink, s.MinimizeToTray);
}

class Options : public test::PreferencesTest {
protected:
    Options() {
        hook_.onMessageBox = [this](const toolkit::MessageBoxRequest& request) {
            boxes.push_back(request);
            return static_cast<int>(toolkit::IDOK);
        };
        toolkit::SetModalHook(&hook_);
    }
    ~Options() override { toolkit::SetModalHook(nullptr); }

    // Builds the dialog, shows it modally, lets `act` work on it inside the
    // modal loop and returns the result it ended with.
    int Run(const std::function<void(OptionsDialog&)>& act) {
        hook_.onModal = [&act](toolkit::Window& window) { act(dynamic_cast<OptionsDialog&>(window)); };
        OptionsDialog dialog(form);
        return dialog.ShowModal();
    }

    MainForm form;
    std::vector<toolkit::MessageBoxRequest> boxes;

private:
    toolkit::ModalHook hook_;
};

TEST_F(Options, LayoutAndLanguageList) {
    folder.Write("russian.lng", "");
    folder.Write("Deutsch.LNG", "");
    folder.Write("a.lng", "");
    folder.Write(".hidden.lng", "");
    folder.Write("notes.txt", "");
    std::filesystem::create_directory(folder.File("dir.lng"));
    Settings().LangFile = "/elsewhere/russian.lng"; // matched by its file name
    Run([](OptionsDialog& d) {
        EXPECT_EQ(d.Caption(), "Configuration");
        EXPECT_EQ(d.ClientWidth(), 265);
        EXPECT_EQ(d.ClientHeight(), 355);
        const toolkit::Rect outer = d.OuterRect();
        const toolkit::Application& app = test::TestApp();
        EXPECT_EQ(outer.left, (app.ScreenWidth() - outer.width) / 2);
        EXPECT_EQ(outer.top, (app.ScreenHeight() - outer.height) / 2);

        EXPECT_EQ(d.LanguageLabel->Bounds(), (toolkit::Rect{8, 299, 108, 14}));
        EXPECT_EQ(d.QuickCopyList->Bounds(), (toolkit::Rect{136, 8, 121, 21}));
        EXPECT_EQ(d.SoundGroup->Bounds(), (toolkit::Rect{8, 128, 249, 89}));
        EXPECT_EQ(d.WebLinkGroup->Bounds(), (toolkit::Rect{8, 224, 249, 65}));
        EXPECT_EQ(d.LanguageList->Bounds(), (toolkit::Rect{128, 296, 129, 21}));
        EXPECT_EQ(d.CloseButton->Bounds(), (toolkit::Rect{193, 328, 64, 22}));
        const std::pair<toolkit::Control*, std::pair<int, int>> placed[] = {
            {d.QuickCopyCheck.get(), {8, 8}},       {d.MinimizeCheck.get(), {8, 32}},
            {d.FiletypeCheck.get(), {8, 56}},       {d.HidePassCheck.get(), {8, 80}},
            {d.MinimizeToTrayCheck.get(), {8, 104}}, {d.BeepOnCopyCheck.get(), {8, 16}},
            {d.BeepSoundcardRadio.get(), {16, 40}}, {d.BeepSpeakerRadio.get(), {16, 64}},
            {d.WebGoToPageRadio.get(), {8, 16}},    {d.WebCopyAddressRadio.get(), {8, 40}}};
        for (const auto& [control, at] : placed) {
            EXPECT_EQ(control->Bounds().left, at.first) << control->Name();
            EXPECT_EQ(control->Bounds().top, at.second) << control->Name();
            EXPECT_GT(control->Bounds().width, 0) << control->Name();
        }
        EXPECT_EQ(d.BeepSpeakerRadio->Parent(), d.SoundGroup.get());
        EXPECT_EQ(d.WebCopyAddressRadio->Parent(), d.WebLinkGroup.get());

        std::vector<std::string> quick, languages;
        for (int i = 0; i < d.QuickCopyList->Count(); ++i)
            quick.push_back(d.QuickCopyList->ItemText(i));
        for (int i = 0; i < d.LanguageList->Count(); ++i)
            languages.push_back(d.LanguageList->ItemText(i));
        EXPECT_EQ(quick, (std::vector<std::string>{"Title", "Login", "Password", "Web link", "Comment",
                                                   "Login >> password"}));
        EXPECT_EQ(languages, (std::vector<std::string>{"English (default)", "a.lng", "Deutsch.LNG", "russian.lng"}));
        EXPECT_EQ(d.LanguageList->ItemIndex(), 3);
        ClickCloseBox(d);
    });
    EXPECT_TRUE(boxes.empty());
}

TEST_F(Options, CloseWithoutChangesKeepsEverySetting) {
    for (std::uint8_t item : {0, 3, 5}) {
        TSettings& s = Settings();
        s = TSettings{true, "/nowhere/x.lng", true, item, true, item != 3, item == 3, true, item == 5};
        const TSettings before = s;
        EXPECT_EQ(Run([](OptionsDialog& d) { PressKey(d, toolkit::VK_RETURN); }), toolkit::ResultOK);
        EXPECT_EQ(Fields(Settings()), Fields(before)) << int(item);
    }
    Settings() = TSettings{};
    EXPECT_EQ(Run([](OptionsDialog& d) { ClickOn(*d.CloseButton); }), toolkit::ResultOK);
    EXPECT_EQ(Fields(Settings()), Fields(TSettings{}));
    EXPECT_TRUE(boxes.empty());
    EXPECT_EQ(platform.fileAssociation.registers + platform.fileAssociation.unregisters, 0);
}

TEST_F(Options, CloseStoresTheEightValuesAndTheCloseBoxNone) {
    auto change = [](OptionsDialog& d) {
        ClickOn(*d.QuickCopyCheck);
        d.QuickCopyList->SelectByUser(4);
        ClickOn(*d.MinimizeCheck);
        ClickOn(*d.MinimizeToTrayCheck);
        ClickOn(*d.BeepOnCopyCheck);
        ClickOn(*d.BeepSoundcardRadio);
        ClickOn(*d.WebGoToPageRadio);
        EXPECT_FALSE(d.BeepSpeakerRadio->IsChecked());
        EXPECT_FALSE(d.WebCopyAddressRadio->IsChecked());
    };
    EXPECT_EQ(Run([&](OptionsDialog& d) { change(d); ClickCloseBox(d); }), toolkit::ResultClosed);
    EXPECT_EQ(Fields(Settings()), Fields(TSettings{}));

    EXPECT_EQ(Run([&](OptionsDialog& d) { change(d); ClickOn(*d.CloseButton); }), toolkit::ResultOK);
    const TSettings& s = Settings();
    EXPECT_TRUE(s.QuickCopy && s.MinOnCopy && s.MinimizeToTray && s.BeepOnCopy && s.BeepWithCard && s.OnWebLink);
    EXPECT_EQ(s.QuickCopyItem, 4);
    EXPECT_FALSE(s.HidePass);
    EXPECT_EQ(s.LangFile, "");

    // A stored number outside the list leaves it unselected: 255 comes back.
    Settings().QuickCopyItem = 200;
    Run([](OptionsDialog& d) {
        EXPECT_EQ(d.QuickCopyList->ItemIndex(), -1);
        ClickOn(*d.CloseButton);
    });
    EXPECT_EQ(Settings().QuickCopyItem, 255);
}

TEST_F(Options, PasswordBoxChangesAtOnceHidePassOnlyWithClose) {
    Parts(form).PasswordBox->SetText("secret");
    form.RecreatePasswordBox(false);
    Run([this](OptionsDialog& d) {
        EXPECT_FALSE(d.HidePassCheck->IsChecked());
        ClickOn(*d.HidePassCheck);
        EXPECT_TRUE(Parts(form).PasswordBox->IsPasswordStyle());
        EXPECT_EQ(Parts(form).PasswordBox->Text(), "secret");
        ClickCloseBox(d);
    });
    EXPECT_TRUE(Parts(form).PasswordBox->IsPasswordStyle());
    EXPECT_FALSE(Settings().HidePass);

    Run([this](OptionsDialog& d) {
        ClickOn(*d.HidePassCheck); // on
        ClickOn(*d.HidePassCheck); // off again: plain at once
        EXPECT_FALSE(Parts(form).PasswordBox->IsPasswordStyle());
        ClickOn(*d.HidePassCheck);
        ClickOn(*d.CloseButton);
    });
    EXPECT_TRUE(Settings().HidePass);
}

TEST_F(Options, FileTypeCheckBoxActsAtOnce) {
    const std::string exe = toolkit::Application::ExePath();
    Run([](OptionsDialog& d) {
        EXPECT_FALSE(d.FiletypeCheck->IsChecked());
        ClickOn(*d.FiletypeCheck);
        ClickCloseBox(d);
    });
    EXPECT_EQ(platform.fileAssociation.registered, std::set<std::string>{exe});
    Run([](OptionsDialog& d) {
        EXPECT_TRUE(d.FiletypeCheck->IsChecked());
        ClickOn(*d.FiletypeCheck);
        ClickOn(*d.CloseButton);
    });
    EXPECT_TRUE(platform.fileAssociation.registered.empty());
    EXPECT_EQ(platform.fileAssociation.registers, 1);
    EXPECT_EQ(platform.fileAssociation.unregisters, 1);
    EXPECT_TRUE(boxes.empty());

    platform.fileAssociation.failure = "no room";
    Run([this](OptionsDialog& d) {
        ClickOn(*d.FiletypeCheck);
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(boxes[0].text, "The file type could not be registered: no room");
        EXPECT_EQ(boxes[0].caption, "Warning");
        EXPECT_EQ(boxes[0].flags, toolkit::MB_ICONEXCLAMATION | toolkit::MB_OK);
        EXPECT_EQ(boxes[0].owner, &d);
        EXPECT_FALSE(d.FiletypeCheck->IsChecked());
        ClickCloseBox(d);
    });
    EXPECT_EQ(platform.fileAssociation.registers, 2);
}

TEST_F(Options, ChoosingALanguageChangesTheTextsAtOnce) {
    std::filesystem::copy_file(test::ShippedRussian(), folder.File("russian.lng"));
    auto ru = [](const char* utf8) { return toolkit::Utf8ToAnsi(utf8, 1251); };
    const int codePage = toolkit::CurrentCodePage();
    toolkit::SetCurrentCodePage(1251); // a run in the file's own code page
    Run([&](OptionsDialog& d) {
        ASSERT_EQ(d.LanguageList->Count(), 2);
        d.LanguageList->SelectByUser(1);
        EXPECT_TRUE(boxes.empty());
        EXPECT_EQ(Settings().LangFile, folder.File("russian.lng"));
        EXPECT_EQ(Parts(form).LoginCaption->Caption(), ru("Логин:"));
        EXPECT_EQ(Parts(form).MainMenu->Text(MenuOptions), ru("&Настройки..."));
        EXPECT_EQ(d.Caption(), ru("Настройки"));
        EXPECT_EQ(d.CloseButton->Caption(), ru("Закрыть"));
        EXPECT_EQ(d.QuickCopyList->ItemText(5), ru("Логин >> пароль"));

        d.LanguageList->SelectByUser(0);
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(boxes[0].text, "Please restart program to load this language.");
        EXPECT_EQ(boxes[0].caption, "Information");
        EXPECT_EQ(boxes[0].flags & toolkit::MB_ICONMASK, toolkit::MB_ICONINFORMATION);
        EXPECT_EQ(boxes[0].flags & toolkit::MB_TYPEMASK, toolkit::MB_OK);
        EXPECT_EQ(boxes[0].owner, &d);
        EXPECT_EQ(Settings().LangFile, "");
        // Captions stay until a restart; the messages are English at once.
        EXPECT_EQ(Parts(form).LoginCaption->Caption(), ru("Логин:"));
        EXPECT_EQ(d.Caption(), ru("Настройки"));
        EXPECT_EQ(MessageTexts().QSave, "Save changes to");
        ClickCloseBox(d);
    });
    // Chosen at once, kept although the dialog was closed with its close box.
    Run([](OptionsDialog& d) {
        d.LanguageList->SelectByUser(1);
        ClickCloseBox(d);
    });
    EXPECT_EQ(Settings().LangFile, folder.File("russian.lng"));
    // Opened again: the dialog comes up in the chosen language.
    Run([&](OptionsDialog& d) {
        EXPECT_EQ(d.LanguageList->ItemIndex(), 1);
        EXPECT_EQ(d.FiletypeCheck->Caption(), ru("Связать файлы *.tkf с программой"));
        ClickCloseBox(d);
    });
    toolkit::SetCurrentCodePage(codePage);
}

// A file that names another code page than the run's comes right only after
// a restart (the open database keeps the code page it was read in), and says so.
TEST_F(Options, ALanguageOfAnotherCodePageAsksForARestart) {
    std::filesystem::copy_file(test::ShippedRussian(), folder.File("russian.lng"));
    const int codePage = toolkit::CurrentCodePage();
    toolkit::SetCurrentCodePage(1252);
    Run([&](OptionsDialog& d) {
        d.LanguageList->SelectByUser(1);
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(boxes[0].text, "Please restart program to load this language.");
        EXPECT_EQ(Parts(form).LoginCaption->Caption(), "?????:");
        ClickCloseBox(d);
    });
    EXPECT_EQ(ChooseCodePage(), 1251); // what the next start takes
    toolkit::SetCurrentCodePage(codePage);
}

TEST_F(Options, ShowOptionsRunsTheDialogOnce) {
    int shown = 0;
    toolkit::ModalHook hook;
    hook.onModal = [&shown](toolkit::Window& w) {
        ++shown;
        EXPECT_EQ(w.Caption(), "Configuration");
        PressKey(w, toolkit::VK_RETURN);
    };
    toolkit::SetModalHook(&hook);
    Parts(form).MainMenu->Click(MenuOptions);
    EXPECT_EQ(shown, 1);
}

} // namespace

namespace {

#ifndef _WIN32 // Linux's file names are UTF-8; Windows' are its own
// A language file's name is the file system's: shown in the code page's
// letters, chosen by its own bytes.
TEST_F(Options, LanguageFileNamesShowAsTheFileSystemHasThem) {
    const test::CodePageScope codePage(1251);
    const std::string name = "\xd0\xa0\xd1\x83\xd1\x81\xd1\x81\xd0\xba\xd0\xb8\xd0\xb9.lng"; // "Русский.lng"
    std::filesystem::copy_file(test::ShippedRussian(), folder.File(name));
    Run([&](OptionsDialog& d) {
        ASSERT_EQ(d.LanguageList->Count(), 2);
        EXPECT_EQ(d.LanguageList->ItemText(1), "\xd0\xf3\xf1\xf1\xea\xe8\xe9.lng");
        d.LanguageList->SelectByUser(1);
        EXPECT_EQ(Settings().LangFile, folder.File(name));
        EXPECT_EQ(d.CloseButton->Caption(), toolkit::Utf8ToAnsi("Закрыть", 1251));
        ClickCloseBox(d);
    });
    Run([](OptionsDialog& d) {
        EXPECT_EQ(d.LanguageList->ItemIndex(), 1);
        ClickCloseBox(d);
    });
}
#endif

} // namespace
