#include "editors/new_group_form.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>

#include "preferences/settings.h"
#include "support/temp_folder.h"
#include "test_app.h"
#include "toolkit/testing/test_input.h"

namespace tallykey {
namespace {

using namespace toolkit;
using test::HookScope;

class NewGroupFormTest : public ::testing::Test {
protected:
    NewGroupFormTest() { test::TestApp(); }
    int Run(NewGroupForm& form, std::function<void(NewGroupForm&)> onModal) {
        HookScope scope([&](Window& w) {
            ASSERT_EQ(&w, &form);
            onModal(form);
        });
        return form.ShowModal();
    }
};

TEST_F(NewGroupFormTest, BuildsEveryControlWhereItBelongs) {
    NewGroupForm form(test::NodeImages());
    EXPECT_EQ(form.Caption(), "New Group");
    EXPECT_EQ(form.Style(), WindowStyle::Dialog);
    EXPECT_EQ(form.ClientWidth(), 313);
    EXPECT_EQ(form.ClientHeight(), 85);
    EXPECT_EQ(form.IconChooser->Bounds(), (Rect{8, 24, 49, 22}));
    EXPECT_EQ(form.TitleBox->Bounds(), (Rect{64, 24, 241, 21}));
    EXPECT_EQ(form.OKButton->Bounds(), (Rect{169, 56, 64, 22}));
    EXPECT_EQ(form.CancelButton->Bounds(), (Rect{241, 56, 64, 22}));
    EXPECT_EQ(form.IconLabel->Caption(), "Icon:");
    EXPECT_EQ(form.TitleLabel->Caption(), "Group title:");
    EXPECT_EQ(form.IconLabel->Bounds().left, 8);
    EXPECT_EQ(form.IconLabel->Bounds().top, 8);
    EXPECT_EQ(form.TitleLabel->Bounds().left, 64);
    EXPECT_EQ(form.TitleLabel->Bounds().top, 8);
    EXPECT_EQ(form.OKButton->Caption(), "OK");
    EXPECT_EQ(form.CancelButton->Caption(), "Cancel");
    EXPECT_EQ(form.TitleBox->Text(), "");

    // One item per icon, numbered from 1, the first one selected.
    ASSERT_EQ(form.IconChooser->Count(), 51);
    EXPECT_EQ(form.IconChooser->ItemText(0), "1");
    EXPECT_EQ(form.IconChooser->ItemText(50), "51");
    EXPECT_EQ(form.IconChooser->ItemIndex(), 0);
}

TEST_F(NewGroupFormTest, OkAtOnceGivesAnEmptyTitleAndIconZero) {
    NewGroupForm form(test::NodeImages());
    EXPECT_EQ(Run(form, [](NewGroupForm& f) {
                  EXPECT_EQ(f.FocusedControl(), f.IconChooser.get());
                  input::PressKey(f, VK_RETURN);
              }),
              ResultOK);
    EXPECT_EQ(form.TitleBox->Text(), "");
    EXPECT_EQ(form.IconChooser->ItemIndex(), 0);
}

TEST_F(NewGroupFormTest, EditModeSelectsTheTitleAndKeepsTheFocusInTheChooser) {
    EditGroupCaption() = "left over";
    NewGroupForm form(test::NodeImages());
    EXPECT_EQ(EditGroupCaption(), "Edit Group");
    form.PrepareEdit("Mail & News", 12);
    EXPECT_EQ(form.Caption(), "Edit Group");
    std::string selected;
    Control* focused = nullptr;
    std::vector<int> picked;
    const int result = Run(form, [&](NewGroupForm& f) {
        selected = f.TitleBox->SelectedText();
        focused = f.FocusedControl();
        // A typed digit picks the next icon whose number starts with it,
        // from the current one on and round again: 50, 51, then 5.
        for (int i = 0; i < 3; ++i) {
            input::TypeText(f, "5");
            picked.push_back(f.IconChooser->ItemIndex());
        }
        input::ClickOn(*f.OKButton);
    });
    EXPECT_EQ(result, ResultOK);
    EXPECT_EQ(selected, "Mail & News");
    EXPECT_EQ(focused, form.IconChooser.get());
    EXPECT_EQ(picked, (std::vector<int>{49, 50, 4}));
    EXPECT_EQ(form.IconChooser->ItemIndex(), 4);
    EXPECT_EQ(form.TitleBox->Text(), "Mail & News");
}

TEST_F(NewGroupFormTest, CancelEscapeAndCloseBoxEndWithoutOk) {
    NewGroupForm a(test::NodeImages());
    EXPECT_EQ(Run(a, [](NewGroupForm& f) { input::ClickOn(*f.CancelButton); }), ResultCancel);
    NewGroupForm b(test::NodeImages());
    EXPECT_EQ(Run(b, [](NewGroupForm& f) { input::PressKeyOn(*f.TitleBox, VK_ESCAPE); }), ResultCancel);
    NewGroupForm c(test::NodeImages());
    EXPECT_EQ(Run(c, [](NewGroupForm& f) { input::ClickCloseBox(f); }), ResultClosed);
    // Enter on the focused Cancel button is that button's key, never OK.
    NewGroupForm d(test::NodeImages());
    EXPECT_NE(Run(d, [](NewGroupForm& f) { input::PressKeyOn(*f.CancelButton, VK_RETURN); }), ResultOK);
    // Enter in the title box presses OK with the typed title.
    NewGroupForm e(test::NodeImages());
    EXPECT_EQ(Run(e, [](NewGroupForm& f) {
                  input::PressKeyOn(*f.TitleBox, VK_END);
                  input::TypeText(f, "Shops");
                  input::PressKey(f, VK_RETURN);
              }),
              ResultOK);
    EXPECT_EQ(e.TitleBox->Text(), "Shops");
}

TEST_F(NewGroupFormTest, TabMovesBetweenTheControls) {
    NewGroupForm form(test::NodeImages());
    std::vector<std::string> forward, backward;
    Run(form, [&](NewGroupForm& f) {
        for (int i = 0; i < 4; ++i) {
            input::PressKey(f, VK_TAB);
            forward.push_back(f.FocusedControl() ? f.FocusedControl()->Name() : "");
        }
        for (int i = 0; i < 4; ++i) {
            input::PressKey(f, VK_TAB, ModShift);
            backward.push_back(f.FocusedControl() ? f.FocusedControl()->Name() : "");
        }
        input::ClickOn(*f.CancelButton);
    });
    EXPECT_EQ(forward, (std::vector<std::string>{"TitleBox", "OKButton", "CancelButton", "IconChooser"}));
    EXPECT_EQ(backward, (std::vector<std::string>{"CancelButton", "OKButton", "TitleBox", "IconChooser"}));
}

TEST_F(NewGroupFormTest, LanguageFileReplacesEveryTextAndEmptiesMissingOnes) {
    const test::TempFolder folder;
    const std::string path = folder.File("deutsch.lng");
    std::ofstream(path) << "[New Group Form]\r\nTitle=Neue Gruppe\r\nGroup=Gruppenname:\r\n"
                           "GEdit=Gruppe bearbeiten\r\n";
    Settings().LangFile = path;
    NewGroupForm form(test::NodeImages());
    const std::string edit = EditGroupCaption();
    Settings().LangFile.clear();

    EXPECT_EQ(form.Caption(), "Neue Gruppe");
    EXPECT_EQ(form.TitleLabel->Caption(), "Gruppenname:");
    EXPECT_EQ(edit, "Gruppe bearbeiten");
    EXPECT_EQ(form.IconLabel->Caption(), "");
    EXPECT_EQ(form.OKButton->Caption(), "");
    EXPECT_EQ(form.CancelButton->Caption(), "");
}

} // namespace
} // namespace tallykey
