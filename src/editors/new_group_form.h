// The group editor: a group's icon and title.
#pragma once

#include <memory>
#include <string>

#include "toolkit/controls.h"
#include "toolkit/image_list.h"

namespace tallykey {

// Title of the group editor in edit mode; set again at every creation of the editor.
std::string& EditGroupCaption();

class NewGroupForm : public toolkit::Window {
public:
    // The icon chooser offers every image of `nodeImages`, which must outlive
    // the dialog. The dialog is owned by the application object.
    explicit NewGroupForm(const toolkit::ImageList& nodeImages);
    ~NewGroupForm() override;

    // Edit mode: the group's title, all of it selected, its icon, the edit caption.
    void PrepareEdit(const std::string& title, int icon);

    std::unique_ptr<toolkit::Label> IconLabel;
    std::unique_ptr<toolkit::Label> TitleLabel;
    std::unique_ptr<toolkit::ComboBox> IconChooser;
    std::unique_ptr<toolkit::Edit> TitleBox;
    std::unique_ptr<toolkit::Button> OKButton;
    std::unique_ptr<toolkit::Button> CancelButton;

private:
    void LoadTexts();

    const toolkit::ImageList& images_;
};

} // namespace tallykey
