// The one application object of the GUI tests, and a main window with its
// own settings file, program folder and fake platform services.
#pragma once

#include <cstdlib>
#include <memory>
#include <string>

#include <sys/stat.h>

#include "mainwindow/main_form.h"
#include "preferences/language.h"
#include "preferences/settings.h"
#include "temp_folder.h"
#include "toolkit/application.h"
#include "toolkit/testing/fake_services.h"

namespace tallykey::test {

inline toolkit::Application& TestApp() {
    static toolkit::Application* app = [] {
        // Qt wants a private runtime folder; the tests make their own.
        if (!std::getenv("XDG_RUNTIME_DIR")) {
            ::mkdir("/tmp/xdg-pref", 0700);
            ::setenv("XDG_RUNTIME_DIR", "/tmp/xdg-pref", 0);
        }
        ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
        static int argc = 1;
        static char name[] = "tests_preferences";
        static char* argv[] = {name, nullptr};
        return new toolkit::Application(argc, argv, "Tallykey 0.4");
    }();
    return *app;
}

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
