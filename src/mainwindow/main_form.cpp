// Construction of the main window: controls, menus, image lists, keys, and
// the routing of every event to its handler.
#include "mainwindow/main_form.h"

#include "desktop/copy_field.h"
#include "desktop/quick_copy.h"
#include "desktop/tray.h"
#include "desktop/web_help_about.h"
#include "preferences/language.h"
#include "preferences/options_dialog.h"
#include "preferences/settings.h"
#include "toolkit/ansi_text.h"
#include "toolkit/application.h"
#include "toolkit/resources.h"

namespace tallykey {

namespace {

const std::vector<std::string> kMainMenuTemplate = {
    "&File", "(", "&New", "-", "&Open...\tCtrl+O", "-", "&Save\tCtrl+S", "Save &As...", "-",
    "E&xit", ")",
    "&Edit", "(", "&Change Password...", "C&lear Clipboard", "-", "&Options...", ")",
    "&Help", "(", "&Contents\tF1", "-", "&About...", ")",
};

const std::vector<std::string> kTreeMenuTemplate = {
    "Add &Group...", "Add &Item...\tIns", "-", "&Edit...\tAlt+Enter", "-", "&Delete\tDelete", "-",
    "Move &Up\tCtrl+Up", "Move Do&wn\tCtrl+Down",
};

// The one main window whose handlers the platform services and the
// application object hold at present.
MainForm* boundForm = nullptr;

constexpr int kPanelWidth = 186;
constexpr int kCommentTop = 160;

// Places a caption at (left, top), sized to its text.
void PlaceCaption(toolkit::Label& label, const std::string& text, int left, int top) {
    label.SetCaption(text);
    const toolkit::Rect r = label.Bounds();
    label.SetBounds(left, top, r.width, r.height);
}

} // namespace

MainForm::MainForm() : toolkit::Window(toolkit::WindowStyle::Main, nullptr) {
    SetCaption(kAppTitle);
    SetFont(toolkit::Font{});
    SetPosition(203, 109);
    SetClientSize(474, 445);
    SetAlignMargin(1);
    AcceptDroppedFiles(true);
    CreateControls();
    BindEvents();
}

MainForm::~MainForm() {
    // The services outlive the window; leave them no handler pointing into it
    // (unless a newer main window has bound its own since).
    if (boundForm == this) {
        toolkit::Services& platform = toolkit::Platform();
        if (boundHotKeys_ && platform.hotKeys == boundHotKeys_)
            boundHotKeys_->OnHotKey = nullptr;
        if (boundTrayIcon_ && platform.trayIcon == boundTrayIcon_)
            boundTrayIcon_->OnMouse = nullptr;
        if (toolkit::Application::Exists())
            toolkit::Application::Instance().OnMinimize = nullptr;
        boundForm = nullptr;
    }
    // The tree must not report its own destruction to a half-destroyed form.
    if (GroupTree) {
        GroupTree->OnSelectionChanged = nullptr;
        GroupTree->OnExpandCollapse = nullptr;
        GroupTree->OnEditEnd = nullptr;
    }
    if (FindBox)
        FindBox->OnFocus = nullptr;
}

void MainForm::CreateControls() {
    using toolkit::Shortcut;
    using namespace toolkit;

    MainMenu = std::make_unique<Menu>(*this, Menu::Kind::Bar, kMainMenuTemplate);
    SetMenu(MainMenu.get());
    MainMenu->SetShortcut(MenuOpen, Shortcut{'O', ModCtrl});
    MainMenu->SetShortcut(MenuSave, Shortcut{'S', ModCtrl});
    MainMenu->SetShortcut(MenuContents, Shortcut{VK_F1, ModNone});

    ButtonImages = std::make_unique<ImageList>(14, 14);
    ButtonImages->LoadBitmap(FindResource("FORM1_IMAGELIST1"), Color{255, 0, 255});
    NodeImages = std::make_unique<ImageList>(16, 16);
    NodeImages->LoadBitmap(FindResource("FORM1_IMAGELIST2"), Color{0, 0, 0});

    FileDialog.SetFilter("Tallykey files (*.tkf)|*.tkf|All files (*.*)|*.*");

    TreeMenu = std::make_unique<Menu>(*this, Menu::Kind::Popup, kTreeMenuTemplate);
    TreeMenu->SetShortcut(PopupAddItem, Shortcut{VK_INSERT, ModNone});
    TreeMenu->SetShortcut(PopupEdit, Shortcut{VK_RETURN, ModAlt});
    TreeMenu->SetShortcut(PopupDelete, Shortcut{VK_DELETE, ModNone});
    TreeMenu->SetShortcut(PopupMoveUp, Shortcut{VK_UP, ModCtrl});
    TreeMenu->SetShortcut(PopupMoveDown, Shortcut{VK_DOWN, ModCtrl});

    GroupTree = std::make_unique<TreeView>(*this);
    GroupTree->SetName("GroupTree");
    GroupTree->SetAlign(Align::Client);
    GroupTree->SetBackground(Color{255, 255, 255});
    GroupTree->SetImageList(NodeImages.get());
    GroupTree->SetPopupMenu(TreeMenu.get());

    DetailsPanel = std::make_unique<Panel>(*this);
    DetailsPanel->SetName("DetailsPanel");
    DetailsPanel->SetAlignMargin(0);
    DetailsPanel->SetBounds(ClientWidth() - kPanelWidth, 0, kPanelWidth, ClientHeight());
    DetailsPanel->SetAlign(Align::Right);
    Panel& panel = *DetailsPanel;

    LoginCaption = std::make_unique<Label>(panel);
    PlaceCaption(*LoginCaption, "Login:", 1, 24);
    PasswordCaption = std::make_unique<Label>(panel);
    PlaceCaption(*PasswordCaption, "Password:", 1, 64);
    WebLinkCaption = std::make_unique<Label>(panel);
    PlaceCaption(*WebLinkCaption, "Web link:", 1, 104);
    CommentCaption = std::make_unique<Label>(panel);
    PlaceCaption(*CommentCaption, "Comment:", 1, 144);

    FindBox = std::make_unique<Edit>(panel);
    FindBox->SetName("FindBox");
    FindBox->SetBounds(1, 0, 163, 19);
    FindBox->SetBold(true);

    LoginBox = std::make_unique<Edit>(panel);
    LoginBox->SetName("LoginBox");
    LoginBox->SetBounds(1, 40, 163, 19);
    LoginBox->SetReadOnly(true);

    PasswordBox = std::make_unique<Edit>(panel);
    PasswordBox->SetName("PasswordBox");
    PasswordBox->SetBounds(1, 80, 163, 19);
    PasswordBox->SetReadOnly(true);

    WebLinkBox = std::make_unique<Edit>(panel);
    WebLinkBox->SetName("WebLinkBox");
    WebLinkBox->SetBounds(1, 120, 163, 19);
    WebLinkBox->SetReadOnly(true);

    CommentBox = std::make_unique<Memo>(panel);
    CommentBox->SetName("CommentBox");
    CommentBox->SetBounds(1, kCommentTop, 185, 113);
    CommentBox->SetReadOnly(true);
    CommentBox->SetWordWrap(true);
    CommentBox->SetScrollBars(false);

    auto makeButton = [&](std::unique_ptr<ImageButton>& button, const char* name, int left,
                          int top, int image) {
        button = std::make_unique<ImageButton>(panel);
        button->SetName(name);
        button->SetBounds(left, top, 22, 22);
        button->SetImage(ButtonImages.get(), image);
    };
    makeButton(CopyLoginButton, "CopyLoginButton", 166, 42, 0);
    makeButton(CopyPasswordButton, "CopyPasswordButton", 166, 82, 0);
    makeButton(OpenLinkButton, "OpenLinkButton", 165, 122, 1);
    makeButton(FindButton, "FindButton", 165, 2, 2);

    // Read-only boxes should not look greyed.
    for (Control* box : {static_cast<Control*>(FindBox.get()), static_cast<Control*>(LoginBox.get()),
                         static_cast<Control*>(PasswordBox.get()),
                         static_cast<Control*>(WebLinkBox.get()),
                         static_cast<Control*>(CommentBox.get())})
        box->SetWindowColor();

    Realign();
    CommentBox->SetBounds(1, kCommentTop, 185, DetailsPanel->ClientHeight() - kCommentTop);
}

void MainForm::BindEvents() {
    using namespace toolkit;

    OnCloseQuery = [this] { return CloseQuery(); };
    OnShow = [this] {
        if (!FirstShow)
            return;
        // Cleared first: the opening below may show dialogs that show this window again.
        FirstShow = false;
        FirstShowStep();
    };
    OnDropFiles = [this](const std::string& files) { FilesDropped(files); };

    boundForm = this;
    Services& platform = Platform();
    if (platform.hotKeys) {
        boundHotKeys_ = platform.hotKeys;
        boundHotKeys_->OnHotKey = [this](int id) { QuickCopyHotKeyPressed(*this, id); };
    }
    if (platform.trayIcon) {
        boundTrayIcon_ = platform.trayIcon;
        boundTrayIcon_->OnMouse = [this](int message) { TrayIconMouse(*this, TrayIcon, message); };
    }
    if (Application::Exists())
        Application::Instance().OnMinimize = [this] { ApplicationMinimized(*this, TrayIcon); };

    MainMenu->SetOnClick(MenuNew, [this] { CmdNew(); });
    MainMenu->SetOnClick(MenuOpen, [this] { CmdOpen(); });
    MainMenu->SetOnClick(MenuSave, [this] { CmdSave(); });
    MainMenu->SetOnClick(MenuSaveAs, [this] { CmdSaveAs(); });
    MainMenu->SetOnClick(MenuExit, [this] { Close(); });
    MainMenu->SetOnClick(MenuChangePassword, [this] { CmdChangePassword(); });
    MainMenu->SetOnClick(MenuClearClipboard, [] { TextToClipboard(std::string()); });
    MainMenu->SetOnClick(MenuOptions, [this] { ShowOptions(*this); });
    MainMenu->SetOnClick(MenuContents, [this] { ShowHelp(*this); });
    MainMenu->SetOnClick(MenuAbout, [this] { ShowAbout(*this); });

    TreeMenu->SetOnClick(PopupAddGroup, [this] { CmdAddGroup(); });
    TreeMenu->SetOnClick(PopupAddItem, [this] { CmdAddItem(); });
    TreeMenu->SetOnClick(PopupEdit, [this] { CmdEdit(); });
    TreeMenu->SetOnClick(PopupDelete, [this] { CmdDelete(); });
    TreeMenu->SetOnClick(PopupMoveUp, [this] { CmdMoveUp(); });
    TreeMenu->SetOnClick(PopupMoveDown, [this] { CmdMoveDown(); });
    TreeMenu->OnPopup = [this] { TreeMenuPopup(); };

    GroupTree->OnSelectionChanged = [this] {
        ++selectionReports_;
        TreeSelectionChanged();
    };
    GroupTree->OnEditEnd = [this](TreeNode node, const std::string& text) {
        return RenameNode(node, text);
    };
    GroupTree->OnExpandCollapse = [this](TreeNode, bool) { SetSaveEnabled(true); };
    GroupTree->OnKeyUp = [this](int vk, unsigned mods) {
        if (mods != ModNone)
            return false;
        if (vk == VK_F2) {
            if (const TreeNode node = GroupTree->Selected(); node != NoTreeNode)
                GroupTree->StartEdit(node);
            return true;
        }
        // While Delete is still the pop-up item's shortcut, the key press has
        // already run Delete; running it again on the release would ask twice.
        if (vk == VK_DELETE && !TreeMenu->GetShortcut(PopupDelete)) {
            CmdDelete();
            return true;
        }
        return false;
    };
    GroupTree->OnChar = [](char ch) { return ch == '\r'; };

    FindBox->OnFocus = [this] { FindBoxFocused(); };
    FindBox->OnChar = [this](char ch) {
        if (ch != '\r')
            return false;
        if (!FindBox->Text().empty())
            FindNode();
        return true;
    };
    LoginBox->OnKeyDown = [this](int vk, unsigned) {
        if (vk != VK_RETURN)
            return false;
        CopyField(*this, CopyLogin);
        return true;
    };
    PasswordBox->OnKeyDown = [this](int vk, unsigned) {
        if (vk != VK_RETURN)
            return false;
        CopyField(*this, CopyPassword);
        return true;
    };

    DetailsPanel->OnResize = [this] {
        const Rect r = CommentBox->Bounds();
        CommentBox->SetBounds(r.left, r.top, r.width, DetailsPanel->ClientHeight() - kCommentTop);
    };

    FileDialog.SetOwner(this);

    CopyLoginButton->OnClick = [this] { CopyField(*this, CopyLogin); };
    CopyPasswordButton->OnClick = [this] { CopyField(*this, CopyPassword); };
    OpenLinkButton->OnClick = [this] { OpenWebLink(*this); };
    FindButton->OnClick = [this] {
        if (!FindBox->Text().empty())
            FindNode();
    };
}

void MainForm::Initialize() {
    PrepareTrayIcon(TrayIcon);
    FirstShow = true;
    const toolkit::Rect r = CommentBox->Bounds();
    CommentBox->SetBounds(r.left, r.top, r.width, DetailsPanel->ClientHeight() - kCommentTop);
    MasterPassword.clear();
    const toolkit::ResourceData icon = toolkit::FindResource("MAINICON");
    if (toolkit::Application::Exists())
        toolkit::Application::Instance().SetIcon(icon);
    SetIcon(icon);
    OpenLinkButton->SetHandCursor();
    TransferSettings(false, *this, CurrentFile);
    // Before any text of the settings, the language file or a database is shown.
    toolkit::SetCurrentCodePage(ChooseCodePage());
    RecreatePasswordBox(Settings().HidePass);
    ApplyLanguageTexts();
}

void MainForm::ApplyLanguageTexts() {
    ApplyMainFormTexts({*LoginCaption, *PasswordCaption, *WebLinkCaption, *CommentCaption, *MainMenu, *TreeMenu});
}

std::string MainForm::FieldText(DetailsField field) const {
    switch (field) {
    case DetailsField::Title: return FindBox->Text();
    case DetailsField::Login: return LoginBox->Text();
    case DetailsField::Password: return PasswordBox->Text();
    case DetailsField::WebLink: return WebLinkBox->Text();
    case DetailsField::Comment: return CommentBox->Text();
    }
    return std::string();
}

void MainForm::SuppressPopupOnce() { TreeMenu->SuppressPopupOnce(); }

bool MainForm::SaveEnabled() const { return MainMenu->IsEnabled(MenuSave); }

void MainForm::SetSaveEnabled(bool enabled) { MainMenu->SetEnabled(MenuSave, enabled); }

void MainForm::RecreatePasswordBox(bool masked) {
    // Switched in place: the same box keeps its text, place and Enter handler.
    PasswordBox->SetPasswordStyle(masked);
    PasswordBox->SetReadOnly(true);
    PasswordBox->SetBounds(1, 80, 163, 19);
    PasswordBox->SetWindowColor();
}

bool MainForm::CloseQuery() {
    GroupTree->CommitEdit();
    bool accept = true;
    if (!Saved && SaveEnabled() && !CurrentFile.empty())
        accept = AskSaveChanges() != toolkit::IDCANCEL;
    // Also on a refused close, as the next selection change arms the key again.
    ReleaseQuickCopyHotKey();
    TransferSettings(true, *this, CurrentFile);
    return accept;
}

} // namespace tallykey
