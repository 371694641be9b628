// The item editor: icon, group, title, login, password, web link and
// comment of one item, with the password generator's controls.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "database/model.h"
#include "toolkit/controls.h"
#include "toolkit/image_list.h"

namespace tallykey {

// Title of the item editor in edit mode; set again at every creation of the editor.
std::string& EditItemCaption();

// One item of the icon chooser: the image with the item's index.
void DrawIconChooserItem(toolkit::Canvas& canvas, const toolkit::DrawItemInfo& item,
                         const toolkit::ImageList& images);
// One item of the group chooser: the group's icon and its title.
void DrawGroupChooserItem(toolkit::Canvas& canvas, const toolkit::DrawItemInfo& item,
                          const std::vector<TGroup>& groups, const toolkit::ImageList& images);

class NewItemForm : public toolkit::Window {
public:
    // The choosers offer `groups` (in order) and every image of `nodeImages`,
    // which must outlive the dialog. The dialog is owned by the application object.
    NewItemForm(const std::vector<TGroup>& groups, const toolkit::ImageList& nodeImages);
    ~NewItemForm() override;

    // New mode: the group of the selected node and the default icon.
    void PrepareNew(int group, int icon);
    // Edit mode: the item's values, its group, and the edit caption.
    void PrepareEdit(const TItem& item, int group);

    // Writes a new random password of the length box's length into the password box.
    void GeneratePassword();

    std::unique_ptr<toolkit::Label> IconLabel;
    std::unique_ptr<toolkit::Label> TitleLabel;
    std::unique_ptr<toolkit::Label> LoginLabel;
    std::unique_ptr<toolkit::Label> PasswordLabel;
    std::unique_ptr<toolkit::Label> WebLinkLabel;
    std::unique_ptr<toolkit::Label> CommentLabel;
    std::unique_ptr<toolkit::Label> GroupLabel;
    std::unique_ptr<toolkit::ComboBox> IconChooser;
    std::unique_ptr<toolkit::ComboBox> GroupChooser;
    std::unique_ptr<toolkit::Edit> TitleBox;
    std::unique_ptr<toolkit::Edit> LoginBox;
    std::unique_ptr<toolkit::Edit> PasswordBox;
    std::unique_ptr<toolkit::GroupBox> NewPasswordFrame;
    std::unique_ptr<toolkit::Label> LengthLabel;
    std::unique_ptr<toolkit::Edit> NewPasswordLength;
    std::unique_ptr<toolkit::Button> GenerateButton;
    std::unique_ptr<toolkit::Edit> WebLinkBox;
    std::unique_ptr<toolkit::Memo> CommentBox;
    std::unique_ptr<toolkit::Button> OKButton;
    std::unique_ptr<toolkit::Button> CancelButton;

private:
    void LoadTexts();

    std::vector<TGroup> groups_;
    const toolkit::ImageList& images_;
};

} // namespace tallykey
