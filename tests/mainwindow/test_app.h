// What the main-window tests share: the application object and temporary
// folders of tests/support, scripted answers for dialogs and message boxes,
// database files made for a test, and a main window set up with
// fake platform services and its own settings file.
#pragma once

#include <atomic>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "database/database_file.h"
#include "database/model.h"
#include "mainwindow/main_form.h"
#include "support/main_form_parts.h"
#include "preferences/settings.h"
#include "toolkit/application.h"
#include "toolkit/controls.h"
#include "toolkit/testing/fake_services.h"
#include "support/temp_folder.h"
#include "support/test_app.h"
#include "toolkit/modal_hook.h"
#include "toolkit/testing/test_input.h"

namespace tallykey::test {

using TempDir = TempFolder;

inline std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void WriteFile(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

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

// Answers the modal windows, message boxes and file dialogs of one test in
// order and keeps a log of them. Anything the script did not expect fails
// the test and is answered with Cancel.
class Script {
public:
    using DialogAnswer = std::function<void(toolkit::Window&)>;

    Script() {
        hook_.onModal = [this](toolkit::Window& window) {
            dialogCaptions.push_back(window.Caption());
            if (dialogs.empty()) {
                ADD_FAILURE() << "unexpected dialog \"" << window.Caption() << "\"";
                window.EndModal(toolkit::ResultCancel);
                return;
            }
            DialogAnswer answer = std::move(dialogs.front());
            dialogs.pop_front();
            answer(window);
        };
        hook_.onMessageBox = [this](const toolkit::MessageBoxRequest& request) {
            boxes.push_back(request);
            if (answers.empty()) {
                ADD_FAILURE() << "unexpected message box \"" << request.text << "\"";
                return static_cast<int>(toolkit::IDCANCEL);
            }
            const int answer = answers.front();
            answers.pop_front();
            return answer;
        };
        hook_.onFileDialog = [this](const toolkit::FileDialogRequest& request) {
            fileRequests.push_back(request);
            if (files.empty()) {
                ADD_FAILURE() << "unexpected file dialog";
                return std::optional<std::string>();
            }
            std::optional<std::string> answer = files.front();
            files.pop_front();
            return answer;
        };
        toolkit::SetModalHook(&hook_);
    }
    ~Script() {
        toolkit::SetModalHook(nullptr);
        EXPECT_TRUE(dialogs.empty()) << dialogs.size() << " dialog answers left over";
        EXPECT_TRUE(answers.empty()) << answers.size() << " message box answers left over";
        EXPECT_TRUE(files.empty()) << files.size() << " file dialog answers left over";
    }
    Script(const Script&) = delete;
    Script& operator=(const Script&) = delete;

    std::deque<DialogAnswer> dialogs;
    std::deque<int> answers;
    std::deque<std::optional<std::string>> files;

    std::vector<std::string> dialogCaptions;
    std::vector<toolkit::MessageBoxRequest> boxes;
    std::vector<toolkit::FileDialogRequest> fileRequests;

private:
    toolkit::ModalHook hook_;
};

inline toolkit::Edit& PromptBox(toolkit::Window& window) {
    auto* box = dynamic_cast<toolkit::Edit*>(window.FindControl("PasswordBox"));
    if (!box)
        throw std::runtime_error("the dialog has no password box");
    return *box;
}

// A password prompt answered as a person does: the text typed into the
// (fresh, empty) box, then Enter.
inline Script::DialogAnswer TypePassword(std::string text) {
    return [text](toolkit::Window& window) {
        toolkit::Edit& box = PromptBox(window);
        EXPECT_EQ(box.Text(), "") << "a fresh prompt starts empty";
        box.SetFocus();
        toolkit::input::TypeText(window, text);
        toolkit::input::PressKey(window, toolkit::VK_RETURN);
    };
}

// A password prompt closed with its Cancel button.
inline Script::DialogAnswer CancelPrompt() {
    return [](toolkit::Window& window) {
        auto* cancel = dynamic_cast<toolkit::Button*>(window.FindControl("CancelButton"));
        ASSERT_NE(cancel, nullptr);
        toolkit::input::ClickOn(*cancel);
    };
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
    TempDir dir;
    Script script;
    std::unique_ptr<MainForm> form;
};

} // namespace tallykey::test
