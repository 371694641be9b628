// The main window: the tree of groups and items at the left, the details
// panel at the right, the menus and their keys, and the program-wide state
// of the open document.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "system/file_guard.h"
#include "database/model.h"
#include "database/secure_memory.h"
#include "desktop/quick_copy.h"
#include "preferences/options_dialog.h"
#include "preferences/program_title.h"
#include "toolkit/controls.h"
#include "toolkit/dialogs.h"
#include "toolkit/image_list.h"
#include "toolkit/menu.h"
#include "toolkit/services.h"
#include "toolkit/tree_view.h"

namespace tallykey {

inline constexpr const char* kUntitledFile = "Untitled.tkf";

// Items of the main menu, numbered in template order.
enum MainMenuItem : int {
    MenuFile = 0, MenuNew = 1, MenuOpen = 3, MenuSave = 5, MenuSaveAs = 6, MenuExit = 8,
    MenuEdit = 9, MenuChangePassword = 10, MenuClearClipboard = 11, MenuOptions = 13,
    MenuHelp = 14, MenuContents = 15, MenuAbout = 17,
};
// Items of the tree's pop-up menu.
enum TreeMenuItem : int {
    PopupAddGroup = 0, PopupAddItem = 1, PopupEdit = 3, PopupDelete = 5,
    PopupMoveUp = 7, PopupMoveDown = 8,
};

// The subsystems reach the window through the interfaces it implements
// (quick copy and copying, the options dialog) or through the parts they are
// handed (the tray record, the captions and menus the language file names).
class MainForm : public toolkit::Window, public QuickCopyHost, public OptionsHost {
public:
    // Builds the window with every control, menu and handler.
    MainForm();
    ~MainForm() override;

    // Initialisation after construction: tray record, icons, settings, the
    // password box per HidePass, the language texts.
    void Initialize();
    // Command-line arguments after the program name (first show looks at the first).
    void SetArguments(std::vector<std::string> arguments) { Arguments = std::move(arguments); }

    bool SaveEnabled() const;
    void SetSaveEnabled(bool enabled);

    // --- document commands ---
    void SetTitle();
    void MarkChanged();
    bool OpenDatabase(const std::string& path);
    bool SaveDatabase(const std::string& path);
    int AskSaveChanges(); // IDYES, IDNO or IDCANCEL
    void CmdNew();
    void CmdOpen();
    void CmdSave();
    void CmdSaveAs();
    void CmdChangePassword();
    // Save and Save As with their outcome: false when nothing was written
    // (the name dialog cancelled or the write failed).
    bool SaveDocument();
    bool SaveDocumentAs();
    void FirstShowStep();
    void FilesDropped(const std::string& files);
    bool CloseQuery(); // the close step; false keeps the window open

    // --- tree and details ---
    void RebuildTree();
    void ShowDetails();
    bool FindNode();
    void TreeMenuPopup();
    void TreeSelectionChanged();
    void FindBoxFocused();

    // --- tree editing commands ---
    void CmdAddGroup();
    void CmdAddItem();
    void CmdEdit();
    void CmdDelete();
    void CmdMoveUp();
    void CmdMoveDown();
    bool RenameNode(toolkit::TreeNode node, const std::string& text);

    // Re-creates (or re-styles) the password box, masked or plain, keeping its
    // text, place and Enter reaction.
    void RecreatePasswordBox(bool masked) override;
    // Loads section "Main Form" of the language file in use.
    void ApplyLanguageTexts() override;

private:
    // Tests and benchmarks look at and set up the controls and the document
    // state through this accessor (tests/support/main_form_parts.h).
    friend struct MainFormParts;

    // What copying and quick copy read and change.
    std::string FieldText(DetailsField field) const override;
    void SuppressPopupOnce() override;
    toolkit::Window& MessageOwner() override { return *this; }
    bool NoHotKeysTold() const override { return noHotKeysTold_; }
    void SetNoHotKeysTold() override { noHotKeysTold_ = true; }

    // --- controls, in order of creation ---
    std::unique_ptr<toolkit::Menu> MainMenu;
    std::unique_ptr<toolkit::ImageList> ButtonImages;
    std::unique_ptr<toolkit::ImageList> NodeImages;
    toolkit::FileDialog FileDialog;
    std::unique_ptr<toolkit::Menu> TreeMenu;
    std::unique_ptr<toolkit::TreeView> GroupTree;
    std::unique_ptr<toolkit::Panel> DetailsPanel;
    std::unique_ptr<toolkit::Label> LoginCaption;
    std::unique_ptr<toolkit::Label> PasswordCaption;
    std::unique_ptr<toolkit::Label> WebLinkCaption;
    std::unique_ptr<toolkit::Label> CommentCaption;
    std::unique_ptr<toolkit::Edit> FindBox;
    std::unique_ptr<toolkit::Edit> LoginBox;
    std::unique_ptr<toolkit::Edit> PasswordBox;
    std::unique_ptr<toolkit::Edit> WebLinkBox;
    std::unique_ptr<toolkit::Memo> CommentBox;
    std::unique_ptr<toolkit::ImageButton> CopyLoginButton;
    std::unique_ptr<toolkit::ImageButton> CopyPasswordButton;
    std::unique_ptr<toolkit::ImageButton> OpenLinkButton;
    std::unique_ptr<toolkit::ImageButton> FindButton;

    // --- program-wide state ---
    TDatabase Db;
    std::string CurrentFile;
    SecretText MasterPassword; // in locked memory
    bool Saved = false;
    // The file at CurrentFile as it was opened or last saved here; a save checks that
    // no other program has changed it since.
    FileFingerprint CurrentFingerprint;
    // A file found damaged when it was opened, and how many bytes it lacked: the first
    // save over it asks first.
    std::string DamagedFile;
    std::uint64_t DamagedBytes = 0;
    bool FirstShow = false;
    toolkit::TrayIconData TrayIcon;
    bool DeleteShortcutRemoved = false;
    // The user has been told that this desktop cannot pass the password on
    // after Ctrl+V ("Login >> password" without global keys).
    bool noHotKeysTold_ = false;
    // Command-line arguments after the program name (first show looks at the first).
    std::vector<std::string> Arguments;

    void CreateControls();
    // Moves the selected group or item one place; true when something moved.
    // Afterwards the moved record's new node is selected.
    bool MoveSelected(Direction dir);
    void BindEvents();
    // The platform services whose events were bound here, released again on destruction.
    toolkit::HotKeys* boundHotKeys_ = nullptr;
    toolkit::TrayIcon* boundTrayIcon_ = nullptr;
    // Counts the tree's selection reports, to see whether clearing it reported one.
    unsigned selectionReports_ = 0;
};

} // namespace tallykey
