#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "support/hook_scope.h"
#include "support/test_app.h"
#include "toolkit/controls.h"
#include "toolkit/dialogs.h"
#include "toolkit/modal_hook.h"
#include "toolkit/testing/test_input.h"

using namespace toolkit;
using tallykey::test::HookScope;
using tallykey::test::TestApp;

namespace {

class ModalHookTest : public ::testing::Test {
protected:
    ModalHookTest() { TestApp(); }
};

TEST_F(ModalHookTest, MessageBoxReportsItsRequestAndReturnsTheAnswer) {
    Window owner(WindowStyle::Main);
    HookScope scope;
    std::vector<MessageBoxRequest> seen;
    scope.hook.onMessageBox = [&](const MessageBoxRequest& request) {
        seen.push_back(request);
        return static_cast<int>(IDNO);
    };
    EXPECT_EQ(MessageBox(&owner, "Are you sure you want to delete \"x\"?", "Confirm", MB_YESNO | MB_ICONQUESTION),
              IDNO);
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].owner, &owner);
    EXPECT_EQ(seen[0].text, "Are you sure you want to delete \"x\"?");
    EXPECT_EQ(seen[0].caption, "Confirm");
    EXPECT_EQ(seen[0].flags, MB_YESNO | MB_ICONQUESTION);
}

TEST_F(ModalHookTest, UnansweredMessageBoxGivesItsFirstButton) {
    HookScope scope;
    EXPECT_EQ(MessageBox(nullptr, "t", "c", MB_OK | MB_ICONINFORMATION), IDOK);
    EXPECT_EQ(MessageBox(nullptr, "t", "c", MB_OKCANCEL), IDOK);
    EXPECT_EQ(MessageBox(nullptr, "t", "c", MB_YESNO), IDYES);
    EXPECT_EQ(MessageBox(nullptr, "t", "c", MB_YESNOCANCEL | MB_ICONWARNING), IDYES);
}

TEST_F(ModalHookTest, FileDialogTakesThePathOrCancel) {
    HookScope scope;
    FileDialog dialog;
    dialog.SetFilter("Tallykey files (*.tkf)|*.tkf|All files (*.*)|*.*");
    dialog.SetOptions(FileDialog::PathMustExist | FileDialog::OverwritePrompt);
    dialog.SetFileName("Untitled.tkf");
    EXPECT_FALSE(dialog.Execute(FileDialog::Mode::Save)) << "no answer is Cancel";

    std::vector<FileDialogRequest> seen;
    std::optional<std::string> answer = "/home/me/Work";
    scope.hook.onFileDialog = [&](const FileDialogRequest& request) {
        seen.push_back(request);
        return answer;
    };
    ASSERT_TRUE(dialog.Execute(FileDialog::Mode::Save));
    EXPECT_EQ(dialog.FileName(), "/home/me/Work") << "used as typed, no extension added";
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_TRUE(seen[0].save);
    EXPECT_EQ(seen[0].initialName, "Untitled.tkf");
    EXPECT_EQ(seen[0].filter, "Tallykey files (*.tkf)|*.tkf|All files (*.*)|*.*");
    EXPECT_EQ(seen[0].options, FileDialog::PathMustExist | FileDialog::OverwritePrompt);

    answer.reset();
    EXPECT_FALSE(dialog.Execute(FileDialog::Mode::Open));
    EXPECT_EQ(dialog.FileName(), "/home/me/Work");
    EXPECT_FALSE(seen[1].save);
}

TEST_F(ModalHookTest, HookRunsInsideTheLoopOfEachModalWindow) {
    Window outer(WindowStyle::Dialog);
    outer.SetCaption("outer");
    Button open(outer);
    open.SetBounds(8, 8, 75, 25);
    Window inner(WindowStyle::Dialog, &outer);
    inner.SetCaption("inner");
    Edit box(inner);
    int innerResult = 0;
    open.OnClick = [&] { innerResult = inner.ShowModal(); };

    std::vector<std::string> seen;
    HookScope scope([&](Window& w) {
        seen.push_back(w.Caption());
        EXPECT_TRUE(w.IsShown());
        EXPECT_TRUE(w.IsModal());
        if (&w == &outer) {
            input::ClickOn(open); // opens the inner window from inside the outer one
            EXPECT_TRUE(outer.IsModal());
            w.EndModal(ResultOK);
        } else {
            box.SetText("typed");
            w.EndModal(ResultCancel);
        }
    });
    EXPECT_EQ(outer.ShowModal(), ResultOK);
    EXPECT_EQ(innerResult, ResultCancel);
    EXPECT_EQ(seen, (std::vector<std::string>{"outer", "inner"}));
    EXPECT_EQ(box.Text(), "typed") << "the window outlives its modal run";
    EXPECT_EQ(inner.Owner(), &outer);
    EXPECT_FALSE(inner.IsModal());
}

TEST_F(ModalHookTest, WindowDestroyedByItsOwnHandlerEndsTheLoop) {
    auto dialog = std::make_unique<Window>(WindowStyle::Dialog);
    auto button = std::make_unique<Button>(*dialog);
    button->OnClick = [&] { dialog.reset(); }; // from under the button's own click
    Window* raw = dialog.get();
    HookScope scope([&](Window&) { button->Click(); });
    EXPECT_EQ(raw->ShowModal(), ResultNone);
    EXPECT_EQ(dialog, nullptr);
    EXPECT_EQ(button->Parent(), nullptr);
    TestApp().ProcessMessages();
    button.reset();
}

} // namespace
