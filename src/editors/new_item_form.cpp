#include "editors/new_item_form.h"

#include "editors/editor_layout.h"
#include "database/secure_wipe.h"
#include "editors/password_generator.h"
#include "preferences/language.h"
#include "toolkit/services.h"

namespace tallykey {

using namespace toolkit;

std::string& EditItemCaption() {
    static std::string caption = "Edit Item";
    return caption;
}

namespace {

constexpr int kIconItemHeight = 17;
// Where the group's title starts: absolute x in the drawing surface, not an
// offset from the item's rectangle.
constexpr int kGroupTextLeftInList = 22;
constexpr int kGroupTextLeftInField = 25;

bool ValidImage(const ImageList& images, int index) { return index >= 0 && index < images.Count(); }

} // namespace

void DrawIconChooserItem(Canvas& canvas, const DrawItemInfo& item, const ImageList& images) {
    canvas.FillRect(item.rect);
    if (item.focusAction)
        canvas.DrawFocusRect(item.rect);
    if (ValidImage(images, item.index))
        canvas.DrawImage(images, item.index, item.rect.left + 1, item.rect.top);
}

void DrawGroupChooserItem(Canvas& canvas, const DrawItemInfo& item,
                          const std::vector<TGroup>& groups, const ImageList& images) {
    canvas.FillRect(item.rect);
    if (item.focusAction)
        canvas.DrawFocusRect(item.rect);
    if (item.index < 0 || static_cast<std::size_t>(item.index) >= groups.size())
        return;
    const TGroup& group = groups[static_cast<std::size_t>(item.index)];
    // A group read from a file may carry any number; such an icon is simply not drawn.
    if (ValidImage(images, group.Icon))
        canvas.DrawImage(images, group.Icon, item.rect.left + 1, item.rect.top);
    Rect text = item.rect;
    text.left = item.comboEdit ? kGroupTextLeftInField : kGroupTextLeftInList;
    text.width = item.rect.right() - text.left;
    canvas.DrawText(group.Title, text);
}

NewItemForm::NewItemForm(const std::vector<TGroup>& groups, const ImageList& nodeImages)
    : Window(WindowStyle::Dialog, nullptr), groups_(groups), images_(nodeImages) {
    SetName("NewItemForm");
    SetFont(Font{});
    SetCaption("New Item");
    SetClientSize(313, 285);

    IconLabel = MakeLabel(*this, "IconLabel", 8, 8, "Icon:");
    TitleLabel = MakeLabel(*this, "TitleLabel", 8, 56, "Title:");
    LoginLabel = MakeLabel(*this, "LoginLabel", 8, 96, "Login:");
    PasswordLabel = MakeLabel(*this, "PasswordLabel", 8, 136, "Password:");
    WebLinkLabel = MakeLabel(*this, "WebLinkLabel", 160, 56, "Web link:");
    CommentLabel = MakeLabel(*this, "CommentLabel", 160, 96, "Comment:");
    GroupLabel = MakeLabel(*this, "GroupLabel", 64, 8, "Group:");

    IconChooser = MakeControl<ComboBox>(*this, "IconChooser", 8, 24, 49, 21);
    IconChooser->SetOwnerDraw(true, kIconItemHeight);
    IconChooser->SetWindowColor();
    IconChooser->OnDrawItem = [this](Canvas& canvas, const DrawItemInfo& item) {
        DrawIconChooserItem(canvas, item, images_);
    };

    GroupChooser = MakeControl<ComboBox>(*this, "GroupChooser", 64, 24, 241, 24);
    GroupChooser->SetOwnerDraw(true);
    GroupChooser->SetWindowColor();
    GroupChooser->OnDrawItem = [this](Canvas& canvas, const DrawItemInfo& item) {
        DrawGroupChooserItem(canvas, item, groups_, images_);
    };

    TitleBox = MakeControl<Edit>(*this, "TitleBox", 8, 72, 145, 19);
    TitleBox->SetBold(true);
    TitleBox->SetWindowColor();
    LoginBox = MakeControl<Edit>(*this, "LoginBox", 8, 112, 145, 19);
    LoginBox->SetWindowColor();
    // Plain, so that a generated password can be read before it is kept.
    PasswordBox = MakeControl<Edit>(*this, "PasswordBox", 8, 152, 145, 19);
    PasswordBox->SetWindowColor();

    NewPasswordFrame = MakeControl<GroupBox>(*this, "NewPasswordFrame", 8, 176, 145, 65);
    NewPasswordFrame->SetCaption("New password");
    LengthLabel = MakeLabel(*NewPasswordFrame, "LengthLabel", 8, 16, "Length:");
    NewPasswordLength = MakeControl<Edit>(*NewPasswordFrame, "NewPasswordLength", 8, 32, 49, 19);
    NewPasswordLength->SetNumbersOnly(true);
    NewPasswordLength->SetRightAligned(true);
    NewPasswordLength->SetWindowColor();
    NewPasswordLength->SetText("8");
    GenerateButton = MakeControl<Button>(*NewPasswordFrame, "GenerateButton", 64, 32, 72, 19);
    GenerateButton->SetCaption("Generate");
    GenerateButton->OnClick = [this] { GeneratePassword(); };

    WebLinkBox = MakeControl<Edit>(*this, "WebLinkBox", 160, 72, 145, 19);
    WebLinkBox->SetWindowColor();
    CommentBox = MakeControl<Memo>(*this, "CommentBox", 160, 112, 145, 129);
    CommentBox->SetWordWrap(true);
    CommentBox->SetScrollBars(false);
    CommentBox->SetWantReturn(true);
    CommentBox->SetWindowColor();

    OKButton = MakeControl<Button>(*this, "OKButton", 169, 256, 64, 22);
    OKButton->SetCaption("OK");
    OKButton->SetModalResult(ResultOK);
    CancelButton = MakeControl<Button>(*this, "CancelButton", 241, 256, 64, 22);
    CancelButton->SetCaption("Cancel");
    CancelButton->SetModalResult(ResultCancel);
    SetDefaultButton(OKButton.get());
    SetCancelButton(CancelButton.get());

    LoadTexts();

    // Item texts stay empty: only the pictures are shown.
    for (int i = 0; i < images_.Count(); ++i)
        IconChooser->AddItem("");
    for (const TGroup& group : groups_)
        GroupChooser->AddItem(group.Title);

    CenterOnScreen();
    IconChooser->SetFocus();
}

NewItemForm::~NewItemForm() = default;

void NewItemForm::LoadTexts() {
    const LanguageSection texts("New Item Form");
    if (!texts.InUse()) {
        EditItemCaption() = "Edit Item";
        return;
    }
    // A key missing from a file in use gives an empty text, on purpose.
    SetCaption(texts.Read("Title"));
    IconLabel->SetCaption(texts.Read("Icon"));
    GroupLabel->SetCaption(texts.Read("Group"));
    TitleLabel->SetCaption(texts.Read("ITitle"));
    LoginLabel->SetCaption(texts.Read("ILogin"));
    PasswordLabel->SetCaption(texts.Read("IPassword"));
    WebLinkLabel->SetCaption(texts.Read("IWeblink"));
    CommentLabel->SetCaption(texts.Read("IComment"));
    NewPasswordFrame->SetCaption(texts.Read("NewPassword"));
    LengthLabel->SetCaption(texts.Read("Length"));
    GenerateButton->SetCaption(texts.Read("Generate"));
    OKButton->SetCaption(texts.Read("OK"));
    CancelButton->SetCaption(texts.Read("Cancel"));
    EditItemCaption() = texts.Read("IEdit");
}

void NewItemForm::PrepareNew(int group, int icon) {
    GroupChooser->SetItemIndex(group);
    IconChooser->SetItemIndex(icon);
}

void NewItemForm::PrepareEdit(const TItem& item, int group) {
    SetCaption(EditItemCaption());
    IconChooser->SetItemIndex(item.Icon);
    GroupChooser->SetItemIndex(group);
    TitleBox->SetText(item.Title);
    LoginBox->SetText(item.Login.str());
    PasswordBox->SetText(item.Password.str());
    WebLinkBox->SetText(item.WebLink.str());
    CommentBox->SetText(item.Comment.str());
}

void NewItemForm::GeneratePassword() {
    // The old text goes first, also when nothing new is made.
    PasswordBox->SetText("");
    const int length = PasswordLengthFromText(NewPasswordLength->Text());
    if (length <= 0)
        return;
    std::string password = RandomPassword(length, *Platform().random);
    PasswordBox->SetText(password);
    SecureWipe(password);
}

} // namespace tallykey
