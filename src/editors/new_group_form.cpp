#include "editors/new_group_form.h"

#include "editors/editor_layout.h"
#include "editors/new_item_form.h"
#include "preferences/language.h"

namespace tallykey {

using namespace toolkit;

std::string& EditGroupCaption() {
    static std::string caption = "Edit Group";
    return caption;
}

NewGroupForm::NewGroupForm(const ImageList& nodeImages)
    : Window(WindowStyle::Dialog, nullptr), images_(nodeImages) {
    SetName("NewGroupForm");
    SetFont(Font{});
    SetCaption("New Group");
    SetClientSize(313, 85);

    IconLabel = MakeLabel(*this, "IconLabel", 8, 8, "Icon:");
    TitleLabel = MakeLabel(*this, "TitleLabel", 64, 8, "Group title:");

    // The platform's default item height serves here.
    IconChooser = MakeControl<ComboBox>(*this, "IconChooser", 8, 24, 49, 22);
    IconChooser->SetOwnerDraw(true);
    IconChooser->SetWindowColor();
    IconChooser->OnDrawItem = [this](Canvas& canvas, const DrawItemInfo& item) {
        DrawIconChooserItem(canvas, item, images_);
    };

    TitleBox = MakeControl<Edit>(*this, "TitleBox", 64, 24, 241, 21);
    TitleBox->SetWindowColor();

    OKButton = MakeControl<Button>(*this, "OKButton", 169, 56, 64, 22);
    OKButton->SetCaption("OK");
    OKButton->SetModalResult(ResultOK);
    CancelButton = MakeControl<Button>(*this, "CancelButton", 241, 56, 64, 22);
    CancelButton->SetCaption("Cancel");
    CancelButton->SetModalResult(ResultCancel);
    SetDefaultButton(OKButton.get());
    SetCancelButton(CancelButton.get());

    LoadTexts();

    // The numbers are never drawn; they let a typed digit pick an icon.
    for (int i = 0; i < images_.Count(); ++i)
        IconChooser->AddItem(std::to_string(i + 1));

    CenterOnScreen();
    IconChooser->SetFocus();
}

NewGroupForm::~NewGroupForm() = default;

void NewGroupForm::LoadTexts() {
    const LanguageSection texts("New Group Form");
    if (!texts.InUse()) {
        EditGroupCaption() = "Edit Group";
        return;
    }
    // A key missing from a file in use gives an empty text, on purpose.
    SetCaption(texts.Read("Title"));
    IconLabel->SetCaption(texts.Read("Icon"));
    TitleLabel->SetCaption(texts.Read("Group"));
    OKButton->SetCaption(texts.Read("OK"));
    CancelButton->SetCaption(texts.Read("Cancel"));
    EditGroupCaption() = texts.Read("GEdit");
}

void NewGroupForm::PrepareEdit(const std::string& title, int icon) {
    SetCaption(EditGroupCaption());
    IconChooser->SetItemIndex(icon);
    TitleBox->SetText(title);
    TitleBox->SelectAll();
}

} // namespace tallykey
