// Scripted answers for the modal windows, message boxes and file dialogs of
// one test, and the answers a password prompt gets from a person.
#pragma once

#include <deque>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "toolkit/controls.h"
#include "toolkit/modal_hook.h"
#include "toolkit/testing/test_input.h"
#include "toolkit/types.h"

namespace tallykey::test {

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

} // namespace tallykey::test
