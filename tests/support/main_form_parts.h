// The main window's controls and document state, for the tests and
// benchmarks that look at them or set them up: Parts(form).GroupTree.
#pragma once

#include "mainwindow/main_form.h"

namespace tallykey {

struct MainFormParts {
    explicit MainFormParts(MainForm& form)
        : MainMenu(form.MainMenu), ButtonImages(form.ButtonImages), NodeImages(form.NodeImages),
          FileDialog(form.FileDialog), TreeMenu(form.TreeMenu), GroupTree(form.GroupTree),
          DetailsPanel(form.DetailsPanel), LoginCaption(form.LoginCaption), PasswordCaption(form.PasswordCaption),
          WebLinkCaption(form.WebLinkCaption), CommentCaption(form.CommentCaption), FindBox(form.FindBox),
          LoginBox(form.LoginBox), PasswordBox(form.PasswordBox), WebLinkBox(form.WebLinkBox),
          CommentBox(form.CommentBox), CopyLoginButton(form.CopyLoginButton),
          CopyPasswordButton(form.CopyPasswordButton), OpenLinkButton(form.OpenLinkButton), FindButton(form.FindButton),
          Db(form.Db), CurrentFile(form.CurrentFile), MasterPassword(form.MasterPassword), Saved(form.Saved),
          CurrentFingerprint(form.CurrentFingerprint), DamagedFile(form.DamagedFile), DamagedBytes(form.DamagedBytes),
          FirstShow(form.FirstShow), TrayIcon(form.TrayIcon), DeleteShortcutRemoved(form.DeleteShortcutRemoved),
          NoHotKeysTold(form.noHotKeysTold_), Arguments(form.Arguments) {}

    std::unique_ptr<toolkit::Menu>& MainMenu;
    std::unique_ptr<toolkit::ImageList>& ButtonImages;
    std::unique_ptr<toolkit::ImageList>& NodeImages;
    toolkit::FileDialog& FileDialog;
    std::unique_ptr<toolkit::Menu>& TreeMenu;
    std::unique_ptr<toolkit::TreeView>& GroupTree;
    std::unique_ptr<toolkit::Panel>& DetailsPanel;
    std::unique_ptr<toolkit::Label>& LoginCaption;
    std::unique_ptr<toolkit::Label>& PasswordCaption;
    std::unique_ptr<toolkit::Label>& WebLinkCaption;
    std::unique_ptr<toolkit::Label>& CommentCaption;
    std::unique_ptr<toolkit::Edit>& FindBox;
    std::unique_ptr<toolkit::Edit>& LoginBox;
    std::unique_ptr<toolkit::Edit>& PasswordBox;
    std::unique_ptr<toolkit::Edit>& WebLinkBox;
    std::unique_ptr<toolkit::Memo>& CommentBox;
    std::unique_ptr<toolkit::ImageButton>& CopyLoginButton;
    std::unique_ptr<toolkit::ImageButton>& CopyPasswordButton;
    std::unique_ptr<toolkit::ImageButton>& OpenLinkButton;
    std::unique_ptr<toolkit::ImageButton>& FindButton;
    TDatabase& Db;
    std::string& CurrentFile;
    SecretText& MasterPassword;
    bool& Saved;
    FileFingerprint& CurrentFingerprint;
    std::string& DamagedFile;
    std::uint64_t& DamagedBytes;
    bool& FirstShow;
    toolkit::TrayIconData& TrayIcon;
    bool& DeleteShortcutRemoved;
    bool& NoHotKeysTold;
    std::vector<std::string>& Arguments;
};

inline MainFormParts Parts(MainForm& form) { return MainFormParts(form); }

} // namespace tallykey
