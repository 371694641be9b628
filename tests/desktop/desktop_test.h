// A main window with fake platform services and a database of entries that
// exercise every copy path.
#pragma once

#include "mainwindow/test_app.h"
#include "desktop/copy_field.h"
#include "preferences/language.h"
#include "toolkit/menu.h"
#include "toolkit/resources.h"

namespace tallykey::test {

// Mail: Box (every field), Web (no web link), NoLogin (password only),
// NoPassword (login only); Bank: Card.
inline TDatabase DesktopDatabase() {
    TDatabase db = SampleDatabase();
    AppendItem(db, 0, "NoLogin", "", "only-pw", "", "", 1);
    AppendItem(db, 0, "NoPassword", "only-login", "", "", "", 2);
    return db;
}

class DesktopTest : public MainWindowTest {
protected:
    DesktopTest() {
        FirstShow();
        Parts(*form).Db = DesktopDatabase();
        form->RebuildTree();
    }
    ~DesktopTest() override {
        SetCopySoundLookup(nullptr);
        if (TestApp().IsMinimized() || !form->IsShown()) {
            TestApp().Show();
            TestApp().Restore();
            form->Show();
        }
    }

    // Selects an entry as a click in the tree does (details, then quick copy).
    void Select(int g, int i) { Parts(*form).GroupTree->Select(ItemNode(g, i)); }
    void SelectGroup(int g) { Parts(*form).GroupTree->Select(GroupNode(g)); }

    std::vector<int> Beeps() const {
        std::vector<int> frequencies;
        for (const auto& tone : platform.sound.beeps) {
            EXPECT_EQ(tone.milliseconds, 20);
            frequencies.push_back(tone.frequency);
        }
        return frequencies;
    }
    const std::vector<std::string>& Copies() const { return platform.clipboard.history; }
    bool Armed() const { return platform.hotKeys.IsRegistered(kQuickCopyHotKeyId); }
    bool Minimized() const { return TestApp().IsMinimized(); }
    void RestoreWindow() {
        TestApp().Show();
        TestApp().Restore();
        form->Show();
        TestApp().ProcessMessages();
    }
};

} // namespace tallykey::test
