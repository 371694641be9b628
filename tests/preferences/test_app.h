// What the preferences tests share besides tests/support: the shipped
// Russian language file, and a fixture with its own settings file, program
// folder and fake platform services. The main window, whose texts and
// options these tests check, comes with its parts' accessor.
#pragma once

#include <string>

#include "mainwindow/main_form.h"
#include "preferences/language.h"
#include "preferences/settings.h"
#include "support/main_form_parts.h"
#include "support/temp_folder.h"
#include "support/test_app.h"
#include "toolkit/application.h"
#include "toolkit/testing/fake_services.h"

namespace tallykey::test {

// The Russian language file the program ships, as the build puts it beside
// the executable.
inline std::string ShippedRussian() { return std::string(TALLYKEY_BINARY_DIR) + "/russian.lng"; }

class PreferencesTest : public ::testing::Test {
protected:
    PreferencesTest() {
        SetSettingsFilePath(folder.File("tallyk.ini"));
        SetProgramFolder(folder.Path());
        Settings() = TSettings{};
        MessageTexts() = TMessageTexts{};
    }
    ~PreferencesTest() override {
        SetSettingsFilePath({});
        SetProgramFolder({});
        Settings() = TSettings{};
        MessageTexts() = TMessageTexts{};
    }

    // The application first: it installs the real services, which the fakes replace.
    bool appReady_ = (TestApp(), true);
    TempFolder folder;
    toolkit::FakePlatform platform;
};

} // namespace tallykey::test
