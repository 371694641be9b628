// The document: which file is open, its master password, unsaved changes,
// and the commands that create, open, save and re-key it.
#include <filesystem>
#include <memory>

#include "database/database_file.h"
#include "database/secure_wipe.h"
#include "editors/password_form.h"
#include "mainwindow/main_form.h"
#include "mainwindow/text_utils.h"
#include "preferences/language.h"
#include "toolkit/ansi_text.h"

namespace tallykey {

namespace {

constexpr unsigned kOpenOptions =
    toolkit::FileDialog::FileMustExist | toolkit::FileDialog::PathMustExist |
    toolkit::FileDialog::HideReadOnly;
constexpr unsigned kSaveOptions = toolkit::FileDialog::PathMustExist |
                                  toolkit::FileDialog::HideReadOnly |
                                  toolkit::FileDialog::OverwritePrompt;

std::string ByteCount(std::uint64_t count) {
    return std::to_string(count) + (count == 1 ? " byte" : " bytes");
}

bool IsExistingFile(const std::string& path) {
    if (path.empty())
        return false;
    std::error_code error;
    return std::filesystem::is_regular_file(std::filesystem::path(path), error);
}

} // namespace

void MainForm::SetTitle() {
    SetCaption(FileCaptionHead(CurrentFile) + kAppTitle);
}

void MainForm::MarkChanged() {
    SetSaveEnabled(true);
    Saved = false;
}

bool MainForm::OpenDatabase(const std::string& path) {
    std::string password;
    ReadResult result = ReadDatabase(Db, password, path);
    while (result.status == ReadStatus::WrongPassword) {
        int answer;
        {
            auto prompt = std::make_unique<PasswordForm>();
            prompt->SetCaption(FileCaptionHead(path) + prompt->Caption());
            answer = prompt->ShowModal();
            if (answer == toolkit::ResultOK)
                password = prompt->Password();
        }
        if (answer != toolkit::ResultOK)
            return false;
        result = ReadDatabase(Db, password, path);
        if (result.status == ReadStatus::WrongPassword) {
            SecureWipe(password);
            const TMessageTexts& texts = MessageTexts();
            toolkit::MessageBox(nullptr, texts.WWrongPass, texts.WWrongPassTitle,
                                toolkit::MB_OK | toolkit::MB_ICONSTOP);
        }
    }
    if (result.status == ReadStatus::DecryptionError) {
        SecureWipe(password);
        toolkit::MessageBox(nullptr, result.message, kAppTitle,
                            toolkit::MB_OK | toolkit::MB_ICONSTOP);
        return false;
    }
    if (result.status == ReadStatus::ReadError) {
        // Not a password problem, so asking for the password again would not help.
        SecureWipe(password);
        toolkit::MessageBox(nullptr, toolkit::SystemTextToAnsi("Cannot read '" + path + "': " + result.message),
                            kAppTitle, toolkit::MB_OK | toolkit::MB_ICONSTOP);
        return false;
    }

    RebuildTree();
    CurrentFile = path;
    CurrentFingerprint = result.fingerprint;
    SecureWipe(MasterPassword);
    MasterPassword = std::move(password);
    SetTitle();
    SetSaveEnabled(false);
    Saved = true;
    if (result.damaged()) {
        DamagedFile = path;
        DamagedBytes = result.missingBytes;
        toolkit::MessageBox(this,
                            "'" + path + "' is damaged: " + ByteCount(result.missingBytes) +
                                " missing at its end.\nWhat could be read is shown. Saving over the file "
                                "would lose the rest for good.",
                            kAppTitle, toolkit::MB_OK | toolkit::MB_ICONEXCLAMATION);
    } else if (path == DamagedFile) {
        DamagedFile.clear(); // whole again
    }
    return true;
}

bool MainForm::SaveDatabase(const std::string& path) {
    if (!DamagedFile.empty() && path == DamagedFile) {
        const std::string question = "'" + path + "' was damaged when it was opened: " + ByteCount(DamagedBytes) +
                                     " missing at its end.\nSaving replaces it with what is shown, and the "
                                     "missing part is lost for good. Save anyway?";
        if (toolkit::MessageBox(this, question, kAppTitle, toolkit::MB_YESNO | toolkit::MB_ICONEXCLAMATION) !=
            toolkit::IDYES)
            return false;
    }
    // The file keeps the branch states the tree shows now, not the flags of the last rebuild.
    WriteOptions options;
    options.branchOpen = [this](const TGroup& group) {
        if (group.Node != NoNode && GroupTree->Exists(group.Node))
            return GroupTree->IsExpanded(group.Node);
        return group.Expanded;
    };
    if (path == CurrentFile)
        options.expected = &CurrentFingerprint;
    WriteResult result = WriteDatabase(Db, MasterPassword, path, options);
    if (result.changed) {
        const std::string question =
            "'" + path + "' has been changed by another program since it was opened or saved here.\n\n"
            "Yes: replace it with the database shown here (the other program's changes are lost).\n"
            "No: save the database shown here under another name.\n"
            "Cancel: save nothing now.";
        const int answer =
            toolkit::MessageBox(this, question, kAppTitle, toolkit::MB_YESNOCANCEL | toolkit::MB_ICONEXCLAMATION);
        if (answer == toolkit::IDNO)
            return SaveDocumentAs();
        if (answer != toolkit::IDYES)
            return false;
        options.expected = nullptr;
        result = WriteDatabase(Db, MasterPassword, path, options);
    }
    if (!result.ok) {
        toolkit::MessageBox(this, "Encryption failed!\n'" + path + "': " + result.message, kAppTitle,
                            toolkit::MB_OK);
        return false;
    }
    CurrentFile = path;
    CurrentFingerprint = result.fingerprint;
    if (path == DamagedFile)
        DamagedFile.clear();
    SetTitle();
    SetSaveEnabled(false);
    Saved = true;
    return true;
}

int MainForm::AskSaveChanges() {
    if (Saved || !SaveEnabled() || CurrentFile.empty())
        return toolkit::IDNO;
    const TMessageTexts& texts = MessageTexts();
    const int answer = toolkit::MessageBox(this, texts.QSave + " '" + toolkit::SystemTextToAnsi(CurrentFile) + "'?",
                                           texts.QSaveTitle, toolkit::MB_YESNOCANCEL | toolkit::MB_ICONQUESTION);
    if (answer == toolkit::IDYES)
        // Changes that could not be saved must not be dropped by the caller.
        return SaveDocument() ? toolkit::IDYES : toolkit::IDCANCEL;
    return answer == toolkit::IDNO ? toolkit::IDNO : toolkit::IDCANCEL;
}

// Every document command first ends a label edit in progress, committing it
// as leaving the box would, so that what it saves or asks about includes it.
void MainForm::CmdNew() {
    GroupTree->CommitEdit();
    const TMessageTexts& texts = MessageTexts();
    if (toolkit::MessageBox(this, texts.QNew, texts.QNewTitle,
                            toolkit::MB_YESNO | toolkit::MB_ICONQUESTION) != toolkit::IDYES)
        return;
    CurrentFile = kUntitledFile;
    CurrentFingerprint = {};
    SetTitle();
    SetSaveEnabled(false);
    Saved = true;
    ClearDatabase(Db);
    RebuildTree();
}

void MainForm::CmdOpen() {
    GroupTree->CommitEdit();
    if (AskSaveChanges() == toolkit::IDCANCEL)
        return;
    FileDialog.SetOptions(kOpenOptions);
    FileDialog.SetFileName(CurrentFile);
    if (!FileDialog.Execute(toolkit::FileDialog::Mode::Open))
        return;
    OpenDatabase(FileDialog.FileName());
}

bool MainForm::SaveDocument() {
    // A database never saved has no folder yet: ask for a name rather than
    // write into whatever the working directory happens to be.
    if (CurrentFile.empty() || CurrentFile == kUntitledFile)
        return SaveDocumentAs();
    return SaveDatabase(CurrentFile);
}

bool MainForm::SaveDocumentAs() {
    FileDialog.SetOptions(kSaveOptions);
    FileDialog.SetFileName(CurrentFile);
    if (!FileDialog.Execute(toolkit::FileDialog::Mode::Save))
        return false;
    return SaveDatabase(FileDialog.FileName());
}

void MainForm::CmdSave() {
    GroupTree->CommitEdit();
    SaveDocument();
}

void MainForm::CmdSaveAs() {
    GroupTree->CommitEdit();
    SaveDocumentAs();
}

void MainForm::CmdChangePassword() {
    GroupTree->CommitEdit();
    // Each prompt is a fresh dialog, gone as soon as its text is read.
    auto ask = [](const std::string& caption, std::string& entry) {
        PasswordForm prompt;
        prompt.SetCaption(caption);
        if (prompt.ShowModal() != toolkit::ResultOK)
            return false;
        entry = prompt.Password();
        return true;
    };
    std::string first;
    std::string second;
    if (!ask(ChangeCaption(), first) || !ask(RetypeCaption(), second)) {
        SecureWipe(first);
        return;
    }
    if (first == second) {
        SecureWipe(MasterPassword);
        MasterPassword = std::move(first);
        MarkChanged();
    } else {
        const TMessageTexts& texts = MessageTexts();
        toolkit::MessageBox(this, texts.WMatchError, texts.WMatchErrorTitle,
                            toolkit::MB_OK | toolkit::MB_ICONEXCLAMATION);
        SecureWipe(first);
    }
    SecureWipe(second);
}

void MainForm::FirstShowStep() {
    const std::string lastFile = CurrentFile;
    CurrentFile = kUntitledFile;
    SetTitle();
    SetSaveEnabled(false);
    const std::string argument = Arguments.empty() ? std::string() : Unquote(Arguments.front());
    if (IsExistingFile(argument))
        OpenDatabase(argument);
    else if (IsExistingFile(lastFile))
        OpenDatabase(lastFile);
}

void MainForm::FilesDropped(const std::string& files) {
    GroupTree->CommitEdit();
    if (FoldAsciiCase(files) == FoldAsciiCase(CurrentFile))
        return;
    if (AskSaveChanges() == toolkit::IDCANCEL)
        return;
    // Several names come joined by CR and so name no single file.
    if (IsExistingFile(files))
        OpenDatabase(files);
}

} // namespace tallykey
