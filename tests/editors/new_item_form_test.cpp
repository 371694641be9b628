#include "editors/new_item_form.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>

#include "editors/password_generator.h"
#include "preferences/settings.h"
#include "support/temp_folder.h"
#include "test_app.h"
#include "toolkit/testing/test_input.h"

namespace tallykey {
namespace {

using namespace toolkit;
using test::HookScope;
using test::RecordingCanvas;

std::vector<TGroup> SampleGroups() {
    std::vector<TGroup> groups(3);
    groups[0].Title = "Mail";
    groups[0].Icon = 4;
    groups[1].Title = "Bank & Card";
    groups[1].Icon = 50;
    groups[2].Title = "Work";
    groups[2].Icon = 0;
    return groups;
}

class NewItemFormTest : public ::testing::Test {
protected:
    NewItemFormTest() { test::TestApp(); }
    // Shows the dialog with `onModal` answering it; returns the dialog's result.
    int Run(NewItemForm& form, std::function<void(NewItemForm&)> onModal) {
        HookScope scope([&](Window& w) {
            ASSERT_EQ(&w, &form);
            onModal(form);
        });
        return form.ShowModal();
    }
    static bool IsAlphabetOnly(const std::string& s) {
        return s.find_first_not_of(kPasswordAlphabet.data(), 0, kPasswordAlphabet.size()) ==
               std::string::npos;
    }
};

TEST_F(NewItemFormTest, BuildsEveryControlWhereItBelongs) {
    NewItemForm form(SampleGroups(), test::NodeImages());
    EXPECT_EQ(form.Caption(), "New Item");
    EXPECT_EQ(form.Style(), WindowStyle::Dialog);
    EXPECT_EQ(form.ClientWidth(), 313);
    EXPECT_EQ(form.ClientHeight(), 285);

    struct Place { Control* control; Rect rect; };
    const Place places[] = {
        {form.IconChooser.get(), {8, 24, 49, 21}},     {form.GroupChooser.get(), {64, 24, 241, 24}},
        {form.TitleBox.get(), {8, 72, 145, 19}},       {form.LoginBox.get(), {8, 112, 145, 19}},
        {form.PasswordBox.get(), {8, 152, 145, 19}},   {form.NewPasswordFrame.get(), {8, 176, 145, 65}},
        {form.NewPasswordLength.get(), {8, 32, 49, 19}}, {form.GenerateButton.get(), {64, 32, 72, 19}},
        {form.WebLinkBox.get(), {160, 72, 145, 19}},   {form.CommentBox.get(), {160, 112, 145, 129}},
        {form.OKButton.get(), {169, 256, 64, 22}},     {form.CancelButton.get(), {241, 256, 64, 22}},
    };
    for (const Place& p : places) {
        EXPECT_EQ(p.control->Bounds(), p.rect) << p.control->Name();
        EXPECT_EQ(form.FindControl(p.control->Name()), p.control);
    }
    // The generator's controls sit inside the frame, placed from its corner.
    EXPECT_EQ(form.NewPasswordLength->Parent(), form.NewPasswordFrame.get());
    EXPECT_EQ(form.GenerateButton->Parent(), form.NewPasswordFrame.get());
    EXPECT_EQ(form.LengthLabel->Parent(), form.NewPasswordFrame.get());

    struct Caption { Label* label; int x, y; const char* text; };
    const Caption labels[] = {
        {form.IconLabel.get(), 8, 8, "Icon:"},         {form.TitleLabel.get(), 8, 56, "Title:"},
        {form.LoginLabel.get(), 8, 96, "Login:"},      {form.PasswordLabel.get(), 8, 136, "Password:"},
        {form.WebLinkLabel.get(), 160, 56, "Web link:"}, {form.CommentLabel.get(), 160, 96, "Comment:"},
        {form.GroupLabel.get(), 64, 8, "Group:"},      {form.LengthLabel.get(), 8, 16, "Length:"},
    };
    for (const Caption& l : labels) {
        EXPECT_EQ(l.label->Caption(), l.text);
        EXPECT_EQ(l.label->Bounds().left, l.x) << l.text;
        EXPECT_EQ(l.label->Bounds().top, l.y) << l.text;
        EXPECT_GT(l.label->Bounds().width, 0) << l.text;
    }
    EXPECT_EQ(form.NewPasswordFrame->Caption(), "New password");
    EXPECT_EQ(form.GenerateButton->Caption(), "Generate");
    EXPECT_EQ(form.OKButton->Caption(), "OK");
    EXPECT_EQ(form.CancelButton->Caption(), "Cancel");

    EXPECT_TRUE(form.TitleBox->IsBold());
    EXPECT_FALSE(form.LoginBox->IsBold());
    EXPECT_FALSE(form.PasswordBox->IsPasswordStyle());
    EXPECT_EQ(form.NewPasswordLength->Text(), "8");
    EXPECT_TRUE(form.CommentBox->WantsReturn());
    EXPECT_EQ(form.IconChooser->ItemHeight(), 17);
}

TEST_F(NewItemFormTest, FillsTheChoosersAndSelectsTheFirstItems) {
    NewItemForm form(SampleGroups(), test::NodeImages());
    ASSERT_EQ(form.IconChooser->Count(), 51);
    for (int i = 0; i < 51; ++i)
        EXPECT_EQ(form.IconChooser->ItemText(i), "");
    ASSERT_EQ(form.GroupChooser->Count(), 3);
    EXPECT_EQ(form.GroupChooser->ItemText(1), "Bank & Card");
    EXPECT_EQ(form.IconChooser->ItemIndex(), 0);
    EXPECT_EQ(form.GroupChooser->ItemIndex(), 0);

    NewItemForm empty({}, test::NodeImages());
    EXPECT_EQ(empty.GroupChooser->Count(), 0);
    EXPECT_EQ(empty.GroupChooser->ItemIndex(), -1);
}

TEST_F(NewItemFormTest, IconItemsAreFilledThenDrawnOnePixelIn) {
    RecordingCanvas canvas;
    DrawItemInfo item;
    item.index = 7;
    item.rect = {3, 34, 45, 17};
    DrawIconChooserItem(canvas, item, test::NodeImages());
    ASSERT_EQ(canvas.Kinds(), (std::vector<std::string>{"fill", "image"}));
    EXPECT_EQ(canvas.calls[0].rect, item.rect);
    EXPECT_EQ(canvas.calls[1].index, 7);
    EXPECT_EQ(canvas.calls[1].x, 4);
    EXPECT_EQ(canvas.calls[1].y, 34);

    // The focus rectangle comes only with a change of the focus state.
    canvas.calls.clear();
    item.focusAction = true;
    item.focused = true;
    DrawIconChooserItem(canvas, item, test::NodeImages());
    ASSERT_EQ(canvas.Kinds(), (std::vector<std::string>{"fill", "focus", "image"}));
    EXPECT_EQ(canvas.calls[1].rect, item.rect);

    // An empty chooser asks to draw item -1: only the background.
    canvas.calls.clear();
    item = {};
    item.rect = {0, 0, 45, 17};
    DrawIconChooserItem(canvas, item, test::NodeImages());
    EXPECT_EQ(canvas.Kinds(), (std::vector<std::string>{"fill"}));
}

TEST_F(NewItemFormTest, GroupItemsShowTheGroupsIconAndTitle) {
    const auto groups = SampleGroups();
    RecordingCanvas canvas;
    DrawItemInfo item;
    item.index = 1;
    item.rect = {0, 16, 237, 16};
    DrawGroupChooserItem(canvas, item, groups, test::NodeImages());
    ASSERT_EQ(canvas.Kinds(), (std::vector<std::string>{"fill", "image", "text"}));
    EXPECT_EQ(canvas.calls[1].index, 50); // the group's icon, not the item's index
    EXPECT_EQ(canvas.calls[1].x, 1);
    EXPECT_EQ(canvas.calls[1].y, 16);
    EXPECT_EQ(canvas.calls[2].text, "Bank & Card"); // "&" goes through untouched
    EXPECT_EQ(canvas.calls[2].rect, (Rect{22, 16, 215, 16}));

    // In the selection field the title starts at x = 25, whatever the rectangle's left edge.
    canvas.calls.clear();
    item.index = 0;
    item.comboEdit = true;
    item.focusAction = true;
    item.rect = {3, 3, 214, 18};
    DrawGroupChooserItem(canvas, item, groups, test::NodeImages());
    ASSERT_EQ(canvas.Kinds(), (std::vector<std::string>{"fill", "focus", "image", "text"}));
    EXPECT_EQ(canvas.calls[2].index, 4);
    EXPECT_EQ(canvas.calls[2].x, 4);
    EXPECT_EQ(canvas.calls[2].y, 3);
    EXPECT_EQ(canvas.calls[3].text, "Mail");
    EXPECT_EQ(canvas.calls[3].rect, (Rect{25, 3, 192, 18}));

    // An icon number outside the images (a file may hold any) is not drawn.
    auto odd = groups;
    odd[2].Icon = 77;
    canvas.calls.clear();
    item = {};
    item.index = 2;
    item.rect = {0, 32, 237, 16};
    DrawGroupChooserItem(canvas, item, odd, test::NodeImages());
    EXPECT_EQ(canvas.Kinds(), (std::vector<std::string>{"fill", "text"}));
}

TEST_F(NewItemFormTest, NewModeHandsBackWhatWasTyped) {
    NewItemForm form(SampleGroups(), test::NodeImages());
    form.PrepareNew(2, 17);
    EXPECT_EQ(form.Caption(), "New Item");
    const int result = Run(form, [](NewItemForm& f) {
        EXPECT_EQ(f.FocusedControl(), f.IconChooser.get());
        EXPECT_EQ(f.IconChooser->ItemIndex(), 17);
        EXPECT_EQ(f.GroupChooser->ItemIndex(), 2);
        f.GroupChooser->SelectByUser(1);
        input::PressKeyOn(*f.TitleBox, VK_END);
        input::TypeText(f, "Bank ");
        f.LoginBox->SetText(" me ");
        f.CommentBox->SetText("line 1\r\nline 2");
        input::ClickOn(*f.OKButton);
    });
    EXPECT_EQ(result, ResultOK);
    EXPECT_EQ(form.GroupChooser->ItemIndex(), 1);
    EXPECT_EQ(form.TitleBox->Text(), "Bank ");
    EXPECT_EQ(form.LoginBox->Text(), " me ");
    EXPECT_EQ(form.PasswordBox->Text(), "");
    EXPECT_EQ(form.CommentBox->Text(), "line 1\r\nline 2");
}

TEST_F(NewItemFormTest, EditModeShowsTheItemUnderTheEditCaption) {
    EditItemCaption() = "left over";
    NewItemForm form(SampleGroups(), test::NodeImages());
    EXPECT_EQ(EditItemCaption(), "Edit Item"); // reset by every creation
    TItem item;
    item.Title = "Bank";
    item.Login = "joe";
    item.Password = "s3cret";
    item.WebLink = "https://bank.example";
    item.Comment = "PIN\r\nin the drawer";
    item.Icon = 33;
    form.PrepareEdit(item, 1);
    EXPECT_EQ(form.Caption(), "Edit Item");
    EXPECT_EQ(form.IconChooser->ItemIndex(), 33);
    EXPECT_EQ(form.GroupChooser->ItemIndex(), 1);
    EXPECT_EQ(form.TitleBox->Text(), "Bank");
    EXPECT_EQ(form.LoginBox->Text(), "joe");
    EXPECT_EQ(form.PasswordBox->Text(), "s3cret");
    EXPECT_EQ(form.WebLinkBox->Text(), "https://bank.example");
    EXPECT_EQ(form.CommentBox->Text(), "PIN\r\nin the drawer");

    // Cancel and the close box end with their own results.
    EXPECT_EQ(Run(form, [](NewItemForm& f) { input::ClickOn(*f.CancelButton); }), ResultCancel);
    NewItemForm again(SampleGroups(), test::NodeImages());
    EXPECT_EQ(Run(again, [](NewItemForm& f) { input::ClickCloseBox(f); }), ResultClosed);
}

TEST_F(NewItemFormTest, TabVisitsTheControlsInOrder) {
    NewItemForm form(SampleGroups(), test::NodeImages());
    std::vector<std::string> forward, backward;
    Run(form, [&](NewItemForm& f) {
        forward.push_back(f.FocusedControl() ? f.FocusedControl()->Name() : "");
        for (int i = 0; i < 11; ++i) {
            input::PressKey(f, VK_TAB);
            forward.push_back(f.FocusedControl() ? f.FocusedControl()->Name() : "");
        }
        for (int i = 0; i < 11; ++i) {
            input::PressKey(f, VK_TAB, ModShift);
            backward.push_back(f.FocusedControl() ? f.FocusedControl()->Name() : "");
        }
        input::ClickOn(*f.CancelButton);
    });
    const std::vector<std::string> order = {
        "IconChooser", "GroupChooser", "TitleBox",   "LoginBox",  "PasswordBox", "NewPasswordLength",
        "GenerateButton", "WebLinkBox", "CommentBox", "OKButton", "CancelButton", "IconChooser"};
    EXPECT_EQ(forward, order);
    const std::vector<std::string> reversed(order.rbegin() + 1, order.rend());
    EXPECT_EQ(backward, reversed);
}

TEST_F(NewItemFormTest, EnterAndEscapeFollowTheFocus) {
    // Enter presses OK from a chooser and from every single-line box.
    for (const char* name : {"IconChooser", "GroupChooser", "TitleBox", "LoginBox", "PasswordBox",
                             "NewPasswordLength", "WebLinkBox", "OKButton"}) {
        NewItemForm form(SampleGroups(), test::NodeImages());
        EXPECT_EQ(Run(form, [&](NewItemForm& f) {
                      input::PressKeyOn(*f.FindControl(name), VK_RETURN);
                  }),
                  ResultOK)
            << name;
    }
    // In the comment box Enter starts a new line and the dialog stays.
    {
        NewItemForm form(SampleGroups(), test::NodeImages());
        int during = -99;
        Run(form, [&](NewItemForm& f) {
            input::PressKeyOn(*f.CommentBox, VK_RETURN);
            input::TypeText(f, "b");
            during = f.ModalResult();
            input::ClickOn(*f.CancelButton);
        });
        EXPECT_EQ(during, ResultNone);
        EXPECT_EQ(form.CommentBox->Text(), "\r\nb");
    }
    // On Generate and on Cancel Enter is the button's own key, never OK.
    for (const char* name : {"GenerateButton", "CancelButton"}) {
        NewItemForm form(SampleGroups(), test::NodeImages());
        const int result = Run(form, [&](NewItemForm& f) {
            input::PressKeyOn(*f.FindControl(name), VK_RETURN);
        });
        EXPECT_NE(result, ResultOK) << name;
    }
    // Escape presses Cancel from anywhere, the comment box included.
    for (const char* name : {"IconChooser", "CommentBox", "GenerateButton", "OKButton"}) {
        NewItemForm form(SampleGroups(), test::NodeImages());
        EXPECT_EQ(Run(form, [&](NewItemForm& f) {
                      input::PressKeyOn(*f.FindControl(name), VK_ESCAPE);
                  }),
                  ResultCancel)
            << name;
    }
}

TEST_F(NewItemFormTest, GenerateReplacesThePasswordBoxText) {
    NewItemForm form(SampleGroups(), test::NodeImages());
    struct Case { const char* length; std::size_t expected; };
    const Case cases[] = {{"8", 8}, {"0", 0}, {"", 0}, {"12abc", 12}, {"-5", 0}, {"99999", 4096}, {"1", 1}};
    std::vector<std::string> seen;
    Run(form, [&](NewItemForm& f) {
        for (const Case& c : cases) {
            f.PasswordBox->SetText("old text");
            f.NewPasswordLength->SetText(c.length); // as pasted: the box checks typing only
            input::ClickOn(*f.GenerateButton);
            seen.push_back(f.PasswordBox->Text());
            EXPECT_EQ(f.ModalResult(), ResultNone);
        }
        input::ClickOn(*f.CancelButton);
    });
    ASSERT_EQ(seen.size(), std::size(cases));
    for (std::size_t i = 0; i < seen.size(); ++i) {
        EXPECT_EQ(seen[i].size(), cases[i].expected) << '"' << cases[i].length << '"';
        EXPECT_TRUE(IsAlphabetOnly(seen[i])) << seen[i];
    }
    EXPECT_EQ(form.NewPasswordLength->Text(), "1"); // the box keeps what it was given

    // Typing into the length box takes digits only.
    NewItemForm typed(SampleGroups(), test::NodeImages());
    Run(typed, [](NewItemForm& f) {
        f.NewPasswordLength->SetText("");
        f.NewPasswordLength->SetFocus();
        input::TypeText(f, "1x-6");
        input::ClickOn(*f.CancelButton);
    });
    EXPECT_EQ(typed.NewPasswordLength->Text(), "16");
}

TEST_F(NewItemFormTest, LanguageFileReplacesEveryTextAndEmptiesMissingOnes) {
    const test::TempFolder folder;
    const std::string path = folder.File("deutsch.lng");
    std::ofstream(path) << "[New Item Form]\r\nTitle=Neuer Eintrag\r\nITitle=Titel:\r\n"
                           "Generate=Erzeugen\r\nOK=Gut\r\n";
    Settings().LangFile = path;
    NewItemForm form(SampleGroups(), test::NodeImages());
    const std::string noEdit = EditItemCaption();
    form.PrepareEdit(TItem{}, 0);
    const std::string editTitle = form.Caption();
    Settings().LangFile.clear();

    EXPECT_EQ(form.TitleLabel->Caption(), "Titel:");
    EXPECT_EQ(form.GenerateButton->Caption(), "Erzeugen");
    EXPECT_EQ(form.OKButton->Caption(), "Gut");
    // Keys the file lacks leave their texts empty.
    EXPECT_EQ(form.IconLabel->Caption(), "");
    EXPECT_EQ(form.CommentLabel->Caption(), "");
    EXPECT_EQ(form.NewPasswordFrame->Caption(), "");
    EXPECT_EQ(form.CancelButton->Caption(), "");
    EXPECT_EQ(noEdit, "");
    EXPECT_EQ(editTitle, "");
    // The positions do not depend on the texts.
    EXPECT_EQ(form.TitleLabel->Bounds().left, 8);
    EXPECT_EQ(form.TitleLabel->Bounds().top, 56);

    // Without the file the next editor is English again.
    NewItemForm english(SampleGroups(), test::NodeImages());
    EXPECT_EQ(english.Caption(), "New Item");
    EXPECT_EQ(EditItemCaption(), "Edit Item");
}

} // namespace
} // namespace tallykey
