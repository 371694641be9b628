// What the main-window tests share besides tests/support: database files
// made for a test, and a main window set up with fake platform services and
// its own settings file.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "database/database_file.h"
#include "database/model.h"
#include "mainwindow/main_form.h"
#include "preferences/settings.h"
#include "support/main_form_parts.h"
#include "support/modal_script.h"
#include "support/temp_folder.h"
#include "support/test_app.h"
#include "toolkit/application.h"
#include "toolkit/controls.h"
#include "toolkit/testing/fake_services.h"

namespace tallykey::test {

// Two groups: "Mail" (open) with "Box" and "Web", "Bank" (closed) with "Card".
inline TDatabase SampleDatabase() {
    TDatabase db;
    AppendGroup(db, "Mail", 3);
    AppendItem(db, 0, "Box", "me", "pw1", "mail.example.com", "line 1\r\nline 2", 17);
    AppendItem(db, 0, "Web", "web-user", "pw2", "", "", 18);
    AppendGroup(db, "Bank", 5);
    db.Groups[1].Expanded = false;
    AppendItem(db, 1, "Card", "1234", "0000", "", "", 20);
    return db;
}

inline std::string MakeDatabase(const std::string& path, const std::string& password,
                                const TDatabase& db = SampleDatabase()) {
    const WriteResult result = WriteDatabase(db, password, path);
    EXPECT_TRUE(result.ok) << result.message;
    return path;
}

// A main window as the program makes it, with fake platform services, its
// own settings file and no file opened yet.
class MainWindowTest : public ::testing::Test {
protected:
    MainWindowTest() {
        TestApp();
        SetSettingsFilePath(dir.File("tallyk.ini"));
        Settings() = TSettings{};
        form = std::make_unique<MainForm>();
        form->Initialize();
    }
    ~MainWindowTest() override {
        if (form)
            form->OnCloseQuery = nullptr;
        form.reset();
        SetSettingsFilePath(std::string());
        Settings() = TSettings{};
    }

    // The first show as the program runs it, with `lastFile` as the LastFile setting.
    void FirstShow(const std::string& lastFile = std::string(),
                   std::vector<std::string> arguments = {}) {
        Parts(*form).CurrentFile = lastFile;
        Parts(*form).Arguments = std::move(arguments);
        form->Show();
        TestApp().ProcessMessages();
    }

    toolkit::TreeNode GroupNode(int g) const { return Parts(*form).Db.Groups.at(g).Node; }
    toolkit::TreeNode ItemNode(int g, int i) const { return Parts(*form).Db.Items.at(g).at(i).Node; }

    toolkit::FakePlatform platform;
    TempFolder dir;
    Script script;
    std::unique_ptr<MainForm> form;
};

} // namespace tallykey::test
