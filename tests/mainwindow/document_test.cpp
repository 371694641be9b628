// The document: opening, saving, the password prompts, the save prompt,
// dropped files, and the state each command leaves behind.
#include <cstdlib>
#include <set>

#include "support/code_page_scope.h"
#include "test_app.h"
#include "toolkit/ansi_text.h"

namespace tallykey::test {
namespace {

using toolkit::IDCANCEL;
using toolkit::IDNO;
using toolkit::IDOK;
using toolkit::IDYES;

struct DocumentState {
    std::string currentFile;
    std::string masterPassword;
    bool saved;
    bool saveEnabled;
    std::string caption;
    bool operator==(const DocumentState&) const = default;
};

void PrintTo(const DocumentState& s, std::ostream* os) {
    *os << "{" << s.currentFile << ", \"" << s.masterPassword << "\", saved " << s.saved
        << ", save " << (s.saveEnabled ? "on" : "off") << ", " << s.caption << "}";
}

class DocumentTest : public MainWindowTest {
protected:
    DocumentState State() const {
        return {Parts(*form).CurrentFile, std::string(Parts(*form).MasterPassword.view()), Parts(*form).Saved, form->SaveEnabled(),
                form->Caption()};
    }
    static std::string CaptionFor(const std::string& name) {
        return "[" + name + "] - Tallykey 0.4";
    }
    // Opens a file that has the empty password, so that no prompt comes up.
    void OpenPlain(const std::string& path) {
        ASSERT_TRUE(form->OpenDatabase(path));
    }
};

// Each row of the document's state table, in the order a user meets them.
TEST_F(DocumentTest, StateTableRowByRow) {
    const std::string first = MakeDatabase(dir.File("first.tkf"), "one");
    const std::string second = dir.File("second.tkf");

    // Before the first show: LastFile from the settings, Save enabled by default.
    WriteFile(dir.File("tallyk.ini"), "[Settings]\r\nLastFile=" + first + "\r\n");
    form.reset();
    form = std::make_unique<MainForm>();
    form->Initialize();
    EXPECT_EQ(State(), (DocumentState{first, "", false, true, "Tallykey 0.4"}));

    // First show: the last file asks for its password; cancelled, the program stays untitled.
    script.dialogs = {CancelPrompt()};
    form->Show();
    TestApp().ProcessMessages();
    EXPECT_EQ(script.dialogCaptions, std::vector<std::string>{"[first.tkf] - Authorization"});
    EXPECT_EQ(State(), (DocumentState{kUntitledFile, "", false, false, CaptionFor("Untitled.tkf")}));

    // Open succeeds.
    script.dialogs = {TypePassword("one")};
    ASSERT_TRUE(form->OpenDatabase(first));
    EXPECT_EQ(State(), (DocumentState{first, "one", true, false, CaptionFor("first.tkf")}));
    EXPECT_EQ(Parts(*form).GroupTree->TopLevelCount(), 2);

    // Model changed.
    form->MarkChanged();
    EXPECT_EQ(State(), (DocumentState{first, "one", false, true, CaptionFor("first.tkf")}));

    // Open cancelled: nothing moves.
    script.dialogs = {CancelPrompt()};
    EXPECT_FALSE(form->OpenDatabase(MakeDatabase(dir.File("third.tkf"), "three")));
    EXPECT_EQ(State(), (DocumentState{first, "one", false, true, CaptionFor("first.tkf")}));

    // Save succeeds, under another name.
    ASSERT_TRUE(form->SaveDatabase(second));
    EXPECT_EQ(State(), (DocumentState{second, "one", true, false, CaptionFor("second.tkf")}));

    // Save fails: the folder does not exist.
    form->MarkChanged();
    script.answers = {IDOK};
    EXPECT_FALSE(form->SaveDatabase(dir.File("no/such/folder.tkf")));
    ASSERT_EQ(script.boxes.size(), 1u);
    EXPECT_EQ(script.boxes[0].text,
              "Encryption failed!\n'" + dir.File("no/such/folder.tkf") + "': No such file or directory");
    EXPECT_EQ(script.boxes[0].caption, "Tallykey 0.4");
    EXPECT_EQ(script.boxes[0].flags, toolkit::MB_OK);
    EXPECT_EQ(State(), (DocumentState{second, "one", false, true, CaptionFor("second.tkf")}));

    // Password changed.
    script.dialogs = {TypePassword("two"), TypePassword("two")};
    ASSERT_TRUE(form->SaveDatabase(second));
    form->CmdChangePassword();
    EXPECT_EQ(State(), (DocumentState{second, "two", false, true, CaptionFor("second.tkf")}));

    // Branch opened or closed by the user: Save enabled, Saved untouched.
    ASSERT_TRUE(form->SaveDatabase(second));
    Parts(*form).GroupTree->ToggleByUser(GroupNode(1));
    EXPECT_EQ(State(), (DocumentState{second, "two", true, true, CaptionFor("second.tkf")}));

    // New, answered Yes: the password stays for the next save.
    script.answers = {IDYES};
    form->CmdNew();
    EXPECT_EQ(State(), (DocumentState{kUntitledFile, "two", true, false, CaptionFor("Untitled.tkf")}));
    EXPECT_EQ(Parts(*form).GroupTree->TopLevelCount(), 0);
    EXPECT_TRUE(Parts(*form).Db.Groups.empty());

    // Exit writes CurrentFile as LastFile.
    Parts(*form).CurrentFile = second;
    EXPECT_TRUE(form->CloseQuery());
    EXPECT_NE(ReadFile(dir.File("tallyk.ini")).find("LastFile=" + second), std::string::npos);
}

TEST_F(DocumentTest, ThreeWrongPasswordsThenTheRightOne) {
    FirstShow();
    const std::string file = MakeDatabase(dir.File("secret.tkf"), "right");
    script.dialogs = {TypePassword("wrong"), TypePassword(""), TypePassword("RIGHT"),
                      TypePassword("right")};
    script.answers = {IDOK, IDOK, IDOK};
    ASSERT_TRUE(form->OpenDatabase(file));

    EXPECT_EQ(script.dialogCaptions,
              std::vector<std::string>(4, "[secret.tkf] - Authorization"));
    ASSERT_EQ(script.boxes.size(), 3u);
    for (const toolkit::MessageBoxRequest& box : script.boxes) {
        EXPECT_EQ(box.text, "Wrong password! Please try again.");
        EXPECT_EQ(box.caption, "Error");
        EXPECT_EQ(box.flags, toolkit::MB_OK | toolkit::MB_ICONSTOP);
        EXPECT_EQ(box.owner, nullptr) << "owned by the application object";
    }
    EXPECT_EQ(State(), (DocumentState{file, "right", true, false, CaptionFor("secret.tkf")}));
    EXPECT_EQ(Parts(*form).Db.Items[0][0].Title, "Box");
}

// The CodePage setting decides which key typed letters make: "Пароль" opens
// a file keyed with its cp1251 bytes under CodePage=1251, while under an
// English locale without the setting the same letters cannot make that key.
TEST_F(DocumentTest, TheCodePageSettingDecidesTheKeyOfTypedLetters) {
#ifndef _WIN32
    const char* lcAll = std::getenv("LC_ALL");
    const std::string savedLcAll = lcAll ? lcAll : "";
    ::setenv("LC_ALL", "en_US.UTF-8", 1);
#endif
    const std::string file = dir.File("cyrillic.tkf");
    std::filesystem::copy_file(TALLYKEY_TEST_DATA "/cyrillic-1251.tkf", file);
    // The letters as the keyboard gives them, reaching the box in the run's code page.
    const auto typeLetters = [](toolkit::Window& window) {
        TypePassword(toolkit::Utf8ToAnsi("Пароль", toolkit::CurrentCodePage()))(window);
    };
    const auto start = [this](const std::string& settings) {
        form.reset();
        WriteFile(dir.File("tallyk.ini"), settings);
        form = std::make_unique<MainForm>();
        form->Initialize();
    };

    start("");
#ifdef _WIN32
    if (toolkit::CurrentCodePage() != 1252)
        GTEST_SKIP() << "Windows' ANSI code page is " << toolkit::CurrentCodePage() << " here, not 1252";
#endif
    EXPECT_EQ(toolkit::CurrentCodePage(), 1252);
    script.dialogs = {typeLetters, CancelPrompt()};
    script.answers = {IDOK};
    EXPECT_FALSE(form->OpenDatabase(file));
    ASSERT_EQ(script.boxes.size(), 1u);
    EXPECT_EQ(script.boxes[0].text, "Wrong password! Please try again.");

    start("[Settings]\r\nCodePage=1251\r\n");
    EXPECT_EQ(toolkit::CurrentCodePage(), 1251);
    script.dialogs = {typeLetters};
    ASSERT_TRUE(form->OpenDatabase(file));
    EXPECT_EQ(Parts(*form).MasterPassword, "\xcf\xe0\xf0\xee\xeb\xfc");
    EXPECT_EQ(toolkit::AnsiToUtf8(Parts(*form).Db.Groups.at(0).Title, toolkit::CurrentCodePage()), "Почта");

#ifndef _WIN32
    if (lcAll)
        ::setenv("LC_ALL", savedLcAll.c_str(), 1);
    else
        ::unsetenv("LC_ALL");
#endif
    toolkit::SetCurrentCodePage(0);
}

// The open prompt's title is built on the dialog's own title, which a
// language file may leave empty.
TEST_F(DocumentTest, PromptTitleBuildsOnTheDialogsTitle) {
    FirstShow();
    const std::string file = MakeDatabase(dir.File("Work.tkf"), "pw");
    WriteFile(dir.File("test.lng"), "[Password Form]\r\nPassword=Kennwort:\r\n");
    Settings().LangFile = dir.File("test.lng");
    script.dialogs = {CancelPrompt()};
    form->OpenDatabase(file);
    Settings().LangFile.clear();
    EXPECT_EQ(script.dialogCaptions, std::vector<std::string>{"[Work.tkf] - "});
}

TEST_F(DocumentTest, CancelledPromptKeepsTheOpenDatabaseAndItsChanges) {
    FirstShow();
    const std::string open = MakeDatabase(dir.File("open.tkf"), "");
    OpenPlain(open);
    Parts(*form).Db.Groups[0].Title = "Renamed";
    form->MarkChanged();
    script.dialogs = {TypePassword("new"), TypePassword("new")};
    form->CmdChangePassword();

    const DocumentState before = State();
    script.dialogs = {CancelPrompt()};
    EXPECT_FALSE(form->OpenDatabase(MakeDatabase(dir.File("other.tkf"), "other")));
    EXPECT_EQ(State(), before);
    EXPECT_EQ(Parts(*form).Db.Groups[0].Title, "Renamed");

    // Closed with the close box instead of Cancel: the same.
    script.dialogs = {[](toolkit::Window&) {}};
    EXPECT_FALSE(form->OpenDatabase(dir.File("other.tkf")));
    EXPECT_EQ(State(), before);

    // The close still offers to save them.
    script.answers = {IDCANCEL};
    EXPECT_FALSE(form->CloseQuery());
    ASSERT_EQ(script.boxes.size(), 1u);
    EXPECT_EQ(script.boxes[0].text, "Save changes to '" + open + "'?");
}

TEST_F(DocumentTest, ChangePasswordNeedsTwoEqualEntries) {
    FirstShow();
    const std::string file = MakeDatabase(dir.File("keys.tkf"), "old");
    script.dialogs = {TypePassword("old")};
    ASSERT_TRUE(form->OpenDatabase(file));
    const DocumentState opened = State();
    script.dialogCaptions.clear();

    // Different entries, also by letter case only.
    for (const auto& [a, b] : std::vector<std::pair<std::string, std::string>>{
             {"new", "other"}, {"Secret", "secret"}}) {
        script.dialogs = {TypePassword(a), TypePassword(b)};
        script.answers = {IDOK};
        form->CmdChangePassword();
        ASSERT_EQ(script.boxes.size(), 1u);
        EXPECT_EQ(script.boxes[0].text, "Typed passwords don't match! Password not changed.");
        EXPECT_EQ(script.boxes[0].caption, "Warning");
        EXPECT_EQ(script.boxes[0].flags, toolkit::MB_OK | toolkit::MB_ICONEXCLAMATION);
        EXPECT_EQ(script.boxes[0].owner, form.get());
        EXPECT_EQ(State(), opened);
        script.boxes.clear();
    }
    EXPECT_EQ(script.dialogCaptions,
              (std::vector<std::string>{"New password", "Re-type password", "New password",
                                        "Re-type password"}));

    // Either prompt cancelled: nothing, and no message.
    script.dialogs = {CancelPrompt()};
    form->CmdChangePassword();
    script.dialogs = {TypePassword("x"), CancelPrompt()};
    form->CmdChangePassword();
    EXPECT_EQ(State(), opened);

    // Equal entries: the caption stays, Save comes on, and closing asks.
    script.dialogs = {TypePassword("new"), TypePassword("new")};
    form->CmdChangePassword();
    EXPECT_EQ(State(), (DocumentState{file, "new", false, true, CaptionFor("keys.tkf")}));
    EXPECT_EQ(ReadDatabase(Parts(*form).Db, "old", file).status, ReadStatus::Success)
        << "the file changes only with the next save";
    script.answers = {IDCANCEL};
    EXPECT_FALSE(form->CloseQuery());
    EXPECT_EQ(script.boxes.size(), 1u);
}

TEST_F(DocumentTest, EmptyPasswordOpensWithoutAPrompt) {
    FirstShow();
    const std::string file = MakeDatabase(dir.File("keys.tkf"), "old");
    script.dialogs = {TypePassword("old")};
    ASSERT_TRUE(form->OpenDatabase(file));

    script.dialogs = {TypePassword(""), TypePassword("")};
    form->CmdChangePassword();
    EXPECT_EQ(Parts(*form).MasterPassword.view(), "");
    EXPECT_TRUE(form->SaveEnabled());
    form->CmdSave();
    EXPECT_FALSE(form->SaveEnabled());

    // The script has no prompt to answer, so any prompt would fail the test.
    script.answers = {IDYES};
    form->CmdNew();
    ASSERT_TRUE(form->OpenDatabase(file));
    EXPECT_EQ(Parts(*form).Db.Groups.size(), 2u);
    EXPECT_EQ(script.dialogCaptions.size(), 3u);

    // The bundled fixture made by another implementation does the same.
    ASSERT_TRUE(form->OpenDatabase(TALLYKEY_TEST_DATA "/example.tkf"));
    EXPECT_EQ(form->Caption(), CaptionFor("example.tkf"));
    ASSERT_EQ(Parts(*form).GroupTree->TopLevelCount(), 1);
    EXPECT_EQ(Parts(*form).GroupTree->Text(GroupNode(0)), "Mail");
    EXPECT_EQ(Parts(*form).GroupTree->Text(ItemNode(0, 0)), "Box");
}

TEST_F(DocumentTest, ExpandingAGroupEnablesSaveButClosingAsksNothing) {
    FirstShow();
    const std::string file = MakeDatabase(dir.File("tree.tkf"), "");
    OpenPlain(file);
    ASSERT_FALSE(form->SaveEnabled());
    ASSERT_FALSE(Parts(*form).GroupTree->IsExpanded(GroupNode(1)));
    Parts(*form).GroupTree->ToggleByUser(GroupNode(1));
    EXPECT_TRUE(form->SaveEnabled());
    EXPECT_TRUE(Parts(*form).Saved);
    EXPECT_TRUE(form->CloseQuery()) << "no prompt: the script has no answer for one";

    // Saving keeps the branch as the tree shows it, not as the flag says.
    Parts(*form).GroupTree->ToggleByUser(GroupNode(0));
    form->CmdSave();
    TDatabase reread;
    ASSERT_TRUE(ReadDatabase(reread, "", file).ok());
    EXPECT_FALSE(reread.Groups[0].Expanded);
    EXPECT_TRUE(reread.Groups[1].Expanded);
}

TEST_F(DocumentTest, SavePromptShowsTheFullPath) {
    FirstShow();
    const std::string file = MakeDatabase(dir.File("private.tkf"), "");
    OpenPlain(file);
    form->MarkChanged();
    script.answers = {IDYES};
    EXPECT_EQ(form->AskSaveChanges(), IDYES);
    ASSERT_EQ(script.boxes.size(), 1u);
    EXPECT_EQ(script.boxes[0].text, "Save changes to '" + file + "'?");
    EXPECT_EQ(script.boxes[0].caption, "Confirm");
    EXPECT_EQ(script.boxes[0].flags, toolkit::MB_YESNOCANCEL | toolkit::MB_ICONQUESTION);
    EXPECT_EQ(script.boxes[0].owner, form.get());
    EXPECT_TRUE(Parts(*form).Saved);
    EXPECT_FALSE(form->SaveEnabled());
    // Nothing left to save: no question.
    EXPECT_EQ(form->AskSaveChanges(), IDNO);

    // A path as the Windows file dialog gives it shows whole; the caption keeps the name only.
    Parts(*form).CurrentFile = "C:\\data\\private.tkf";
    form->SetTitle();
    EXPECT_EQ(form->Caption(), CaptionFor("private.tkf"));
    form->MarkChanged();
    script.answers = {IDNO};
    EXPECT_EQ(form->AskSaveChanges(), IDNO);
    EXPECT_EQ(script.boxes.back().text, "Save changes to 'C:\\data\\private.tkf'?");
}

#ifndef _WIN32 // Linux's file names are UTF-8; Windows' are its own
// A name in the file system's UTF-8 shows in the code page's letters; one
// the code page cannot show still opens and saves under its own name.
TEST_F(DocumentTest, FileNamesShowAsTheFileSystemHasThem) {
    const CodePageScope codePage(1252);
    FirstShow();
    std::filesystem::create_directory(dir.File("Ordner \xc3\xa4"));
    const std::string file = MakeDatabase(dir.File("Ordner \xc3\xa4/\xc3\x9c" "bersicht \xc3\xa9.tkf"), "pw");
    const std::string shown = "\xdc" "bersicht \xe9.tkf"; // "Übersicht é.tkf" in 1252
    script.dialogs = {TypePassword("pw")};
    ASSERT_TRUE(form->OpenDatabase(file));
    EXPECT_EQ(script.dialogCaptions, std::vector<std::string>{"[" + shown + "] - Authorization"});
    EXPECT_EQ(State(), (DocumentState{file, "pw", true, false, CaptionFor(shown)}));
    form->MarkChanged();
    script.answers = {IDYES};
    EXPECT_EQ(form->AskSaveChanges(), IDYES);
    ASSERT_EQ(script.boxes.size(), 1u);
    EXPECT_EQ(script.boxes[0].text, "Save changes to '" + dir.File("Ordner \xe4/" + shown) + "'?");

    const std::string cyrillic = MakeDatabase(dir.File("\xd0\xa1\xd0\xb5\xd0\xb9\xd1\x84.tkf"), ""); // "Сейф.tkf"
    OpenPlain(cyrillic);
    EXPECT_EQ(form->Caption(), CaptionFor("????.tkf"));
    Parts(*form).Db.Groups[0].Title = "Saved";
    form->MarkChanged();
    ASSERT_TRUE(form->SaveDocument());
    TDatabase db;
    ASSERT_TRUE(ReadDatabase(db, "", cyrillic).ok());
    EXPECT_EQ(db.Groups[0].Title, "Saved");
    ASSERT_TRUE(ReadDatabase(db, "pw", file).ok());
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(dir.Path()))
        names.insert(entry.path().filename().string());
    names.erase("tallyk.ini");
    EXPECT_EQ(names, (std::set<std::string>{"Ordner \xc3\xa4", "\xc3\x9c" "bersicht \xc3\xa9.tkf",
                                            "\xd0\xa1\xd0\xb5\xd0\xb9\xd1\x84.tkf"}))
        << "both saved under their own names";
}
#endif

// Under code page 1252 the prompt refuses Cyrillic: nothing of it reaches the
// key. Under 1251 the same typing opens the file made with it.
TEST_F(DocumentTest, PromptTakesOnlyWhatTheCodePageHolds) {
    const std::string file = TALLYKEY_TEST_DATA "/cyrillic-1251.tkf";
    const std::string password = "\xd0\x9f\xd0\xb0\xd1\x80\xd0\xbe\xd0\xbb\xd1\x8c"; // "Пароль"
    FirstShow();
    std::string notice;
    auto typeCyrillic = [&](toolkit::Window& window) {
        PromptBox(window).SetFocus();
        toolkit::input::TypeUnicode(window, password);
        notice = toolkit::input::ShownNotice();
        toolkit::input::PressKey(window, toolkit::VK_RETURN);
    };
    {
        const CodePageScope codePage(1252);
        script.dialogs = {typeCyrillic, CancelPrompt()};
        script.answers = {IDOK};
        EXPECT_FALSE(form->OpenDatabase(file));
        EXPECT_EQ(script.boxes.at(0).text, "Wrong password! Please try again.") << "the empty key was tried";
        EXPECT_NE(notice.find("\xd0\x9f \xd0\xb0 \xd1\x80 \xd0\xbe \xd0\xbb \xd1\x8c"), std::string::npos);
        EXPECT_EQ(platform.sound.beeps.size(), 6u);
    }
    const CodePageScope codePage(1251);
    notice.clear();
    script.dialogs = {typeCyrillic};
    ASSERT_TRUE(form->OpenDatabase(file));
    EXPECT_EQ(notice, "");
    EXPECT_EQ(Parts(*form).MasterPassword, "\xcf\xe0\xf0\xee\xeb\xfc");
    EXPECT_EQ(Parts(*form).Db.Groups[0].Title, "\xcf\xee\xf7\xf2\xe0"); // "Почта"

    // A password pasted with its line break keeps the first line only.
    auto paste = [](toolkit::Window& window) {
        PromptBox(window).SetFocus();
        toolkit::input::Paste(window, "pw123\n");
        toolkit::input::PressKey(window, toolkit::VK_RETURN);
    };
    script.dialogs = {paste, paste};
    form->CmdChangePassword();
    EXPECT_EQ(Parts(*form).MasterPassword, "pw123");
}

TEST_F(DocumentTest, NewAlwaysAsksFirst) {
    FirstShow();
    OpenPlain(MakeDatabase(dir.File("a.tkf"), ""));
    const DocumentState opened = State();
    script.answers = {IDNO};
    form->CmdNew();
    EXPECT_EQ(State(), opened);
    EXPECT_EQ(Parts(*form).Db.Groups.size(), 2u);
    ASSERT_EQ(script.boxes.size(), 1u);
    EXPECT_EQ(script.boxes[0].text,
              "Are you sure you want to create new file? All changes will be lost.");
    EXPECT_EQ(script.boxes[0].caption, "Confirm");
    EXPECT_EQ(script.boxes[0].flags, toolkit::MB_YESNO | toolkit::MB_ICONQUESTION);
}

TEST_F(DocumentTest, DroppedFiles) {
    FirstShow();
    const std::string open = MakeDatabase(dir.File("Work.tkf"), "");
    const std::string other = MakeDatabase(dir.File("other.tkf"), "", TDatabase{});
    OpenPlain(open);
    form->MarkChanged();

    // The open file again, in other letter case: nothing at all.
    std::string shouted = open;
    for (char& ch : shouted)
        if (ch >= 'a' && ch <= 'z')
            ch = static_cast<char>(ch - 'a' + 'A');
    toolkit::input::DropFiles(*form, shouted);
    TestApp().ProcessMessages();
    EXPECT_TRUE(script.boxes.empty());
    EXPECT_EQ(Parts(*form).CurrentFile, open);

    // Two files at once name no single file: the save prompt, then nothing opens.
    script.answers = {IDNO};
    toolkit::input::DropFiles(*form, other + "\r" + open);
    TestApp().ProcessMessages();
    EXPECT_EQ(script.boxes.size(), 1u);
    EXPECT_EQ(Parts(*form).CurrentFile, open);

    // Cancel at the prompt stops.
    script.answers = {IDCANCEL};
    form->FilesDropped(other);
    EXPECT_EQ(Parts(*form).CurrentFile, open);

    // One other file: opened after the prompt.
    script.answers = {IDNO};
    toolkit::input::DropFiles(*form, other);
    TestApp().ProcessMessages();
    EXPECT_EQ(Parts(*form).CurrentFile, other);
    EXPECT_EQ(Parts(*form).GroupTree->TopLevelCount(), 0);
    EXPECT_EQ(script.boxes.size(), 3u);
}

TEST_F(DocumentTest, DamagedFileShowsTheDecryptionError) {
    FirstShow();
    const std::string good = MakeDatabase(dir.File("good.tkf"), "");
    OpenPlain(good);
    const DocumentState before = State();
    // Encrypted part of 17 bytes: not whole blocks.
    WriteFile(dir.File("damaged.tkf"), std::string("\x10\0\0\0", 4) + std::string(17, 'x'));
    script.answers = {IDOK};
    EXPECT_FALSE(form->OpenDatabase(dir.File("damaged.tkf")));
    ASSERT_EQ(script.boxes.size(), 1u);
    EXPECT_EQ(script.boxes[0].text, "Invalid buffer size for decryption");
    EXPECT_EQ(script.boxes[0].caption, "Tallykey 0.4");
    EXPECT_EQ(script.boxes[0].flags & toolkit::MB_ICONMASK, toolkit::MB_ICONSTOP);
    EXPECT_EQ(State(), before);
    EXPECT_EQ(Parts(*form).GroupTree->TopLevelCount(), 2);
}

// A file that cannot be read is not a password problem: one message with the
// reason, no prompt, and nothing changes.
TEST_F(DocumentTest, UnreadableFileIsReportedWithItsReason) {
    FirstShow();
    OpenPlain(MakeDatabase(dir.File("good.tkf"), ""));
    const DocumentState before = State();
    const std::string folder = dir.File("folder.tkf");
    std::filesystem::create_directory(folder);
    const std::string missing = dir.File("missing.tkf");
    std::vector<std::pair<std::string, std::string>> cases{{folder, "Is a directory"},
                                                           {missing, "No such file or directory"}};
#ifndef _WIN32
    // A FIFO is refused at once: waiting for a writer would freeze the window.
    const std::string fifo = dir.File("fifo.tkf");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    cases.emplace_back(fifo, "Not a regular file");
#endif
    for (const auto& [path, reason] : cases) {
        script.answers = {IDOK};
        EXPECT_FALSE(form->OpenDatabase(path));
        ASSERT_EQ(script.boxes.size(), 1u);
        EXPECT_EQ(script.boxes[0].text, "Cannot read '" + path + "': " + reason);
        EXPECT_EQ(script.boxes[0].caption, "Tallykey 0.4");
        EXPECT_EQ(script.boxes[0].flags, toolkit::MB_OK | toolkit::MB_ICONSTOP);
        EXPECT_EQ(State(), before);
        script.boxes.clear();
    }
    EXPECT_TRUE(script.dialogCaptions.empty());
}

// Open... offers to save first; Cancel there shows no file dialog.
TEST_F(DocumentTest, OpenOffersToSaveFirst) {
    FirstShow();
    const std::string file = MakeDatabase(dir.File("a.tkf"), "");
    OpenPlain(file);
    form->MarkChanged();

    script.answers = {IDCANCEL};
    toolkit::input::PressKeyOn(*Parts(*form).GroupTree, 'O', toolkit::ModCtrl);
    EXPECT_EQ(script.boxes.size(), 1u);
    EXPECT_TRUE(script.fileRequests.empty());

    const std::string other = MakeDatabase(dir.File("b.tkf"), "", TDatabase{});
    script.answers = {IDNO};
    script.files = {other};
    form->CmdOpen();
    ASSERT_EQ(script.fileRequests.size(), 1u);
    const toolkit::FileDialogRequest& request = script.fileRequests[0];
    EXPECT_FALSE(request.save);
    EXPECT_EQ(request.initialName, file);
    EXPECT_EQ(request.filter, "Tallykey files (*.tkf)|*.tkf|All files (*.*)|*.*");
    EXPECT_EQ(request.owner, form.get());
    EXPECT_TRUE(request.options & toolkit::FileDialog::FileMustExist);
    EXPECT_EQ(Parts(*form).CurrentFile, other);

    // Nothing unsaved: straight to the dialog.
    script.files = {std::nullopt};
    form->CmdOpen();
    EXPECT_EQ(script.boxes.size(), 2u);
    EXPECT_EQ(Parts(*form).CurrentFile, other);
}

// Save on a database never saved asks for a name, as Save As does.
TEST_F(DocumentTest, SaveOfAnUntitledDatabaseAsksForAName) {
    FirstShow();
    Parts(*form).Db = SampleDatabase();
    form->RebuildTree();
    // Ctrl+S while Save is greyed does nothing.
    toolkit::input::PressKeyOn(*Parts(*form).GroupTree, 'S', toolkit::ModCtrl);
    EXPECT_TRUE(script.fileRequests.empty());
    form->MarkChanged();

    script.files = {std::nullopt};
    toolkit::input::PressKeyOn(*Parts(*form).GroupTree, 'S', toolkit::ModCtrl);
    ASSERT_EQ(script.fileRequests.size(), 1u);
    EXPECT_TRUE(script.fileRequests[0].save);
    EXPECT_EQ(script.fileRequests[0].initialName, "Untitled.tkf");
    EXPECT_TRUE(script.fileRequests[0].options & toolkit::FileDialog::OverwritePrompt);
    EXPECT_EQ(Parts(*form).CurrentFile, kUntitledFile);
    EXPECT_TRUE(form->SaveEnabled());

    // A name typed without an extension is used exactly as typed.
    const std::string chosen = dir.File("plain-name");
    script.files = {chosen};
    form->CmdSave();
    EXPECT_TRUE(std::filesystem::is_regular_file(chosen));
    EXPECT_EQ(Parts(*form).CurrentFile, chosen);
    EXPECT_EQ(form->Caption(), CaptionFor("plain-name"));
    EXPECT_FALSE(form->SaveEnabled());

    // Once it has a name, Save writes there without asking.
    form->MarkChanged();
    form->CmdSave();
    EXPECT_EQ(script.fileRequests.size(), 2u);
    EXPECT_FALSE(form->SaveEnabled());
}

// Yes at the close prompt whose save fails keeps the window open.
TEST_F(DocumentTest, FailedSaveAtCloseKeepsTheWindowOpen) {
    FirstShow();
    const std::string folder = dir.File("sub");
    std::filesystem::create_directory(folder);
    const std::string file = MakeDatabase(folder + "/a.tkf", "");
    OpenPlain(file);
    form->MarkChanged();
    std::filesystem::remove_all(folder);

    script.answers = {IDYES, IDOK};
    EXPECT_FALSE(form->CloseQuery());
    ASSERT_EQ(script.boxes.size(), 2u);
    EXPECT_EQ(script.boxes[1].text, "Encryption failed!\n'" + file + "': No such file or directory");
    EXPECT_FALSE(Parts(*form).Saved);

    // An untitled database whose name dialog is cancelled stays open too.
    Parts(*form).CurrentFile = kUntitledFile;
    script.answers = {IDYES};
    script.files = {std::nullopt};
    EXPECT_FALSE(form->CloseQuery());

    // A save that works lets the window go.
    std::filesystem::create_directory(folder);
    Parts(*form).CurrentFile = file;
    script.answers = {IDYES};
    EXPECT_TRUE(form->CloseQuery());
    EXPECT_TRUE(std::filesystem::is_regular_file(file));
}

// Another program changed the open file: Save asks, and each answer does what it says.
TEST_F(DocumentTest, SavingOverAFileChangedElsewhereAsks) {
    FirstShow();
    const std::string file = MakeDatabase(dir.File("shared.tkf"), "");
    const auto titleIn = [](const std::string& path) {
        TDatabase db;
        return ReadDatabase(db, "", path).ok() ? db.Groups.at(0).Title : std::string("(unreadable)");
    };
    const auto otherProgramWrites = [&](const std::string& title) {
        TDatabase theirs = SampleDatabase();
        theirs.Groups[0].Title = title;
        ASSERT_TRUE(WriteDatabase(theirs, "", file).ok);
    };
    OpenPlain(file);
    Parts(*form).Db.Groups[0].Title = "Mine";
    form->MarkChanged();
    otherProgramWrites("Theirs");
    const std::string question =
        "'" + file + "' has been changed by another program since it was opened or saved here.\n\n"
        "Yes: replace it with the database shown here (the other program's changes are lost).\n"
        "No: save the database shown here under another name.\n"
        "Cancel: save nothing now.";

    // Cancel: nothing is written and the window stays as it was.
    const DocumentState before = State();
    script.answers = {IDCANCEL};
    toolkit::input::PressKeyOn(*Parts(*form).GroupTree, 'S', toolkit::ModCtrl);
    ASSERT_EQ(script.boxes.size(), 1u);
    EXPECT_EQ(script.boxes[0].text, question);
    EXPECT_EQ(script.boxes[0].caption, "Tallykey 0.4");
    EXPECT_EQ(script.boxes[0].flags, toolkit::MB_YESNOCANCEL | toolkit::MB_ICONEXCLAMATION);
    EXPECT_EQ(script.boxes[0].owner, form.get());
    EXPECT_EQ(titleIn(file), "Theirs");
    EXPECT_EQ(State(), before);

    // No: Save As, and the other program's file stays.
    const std::string mine = dir.File("mine.tkf");
    script.answers = {IDNO};
    script.files = {mine};
    EXPECT_TRUE(form->SaveDocument());
    EXPECT_EQ(script.fileRequests.size(), 1u);
    EXPECT_EQ(titleIn(file), "Theirs");
    EXPECT_EQ(titleIn(mine), "Mine");
    EXPECT_EQ(Parts(*form).CurrentFile, mine);

    // Yes: replaced; a later save with no change elsewhere asks nothing.
    otherProgramWrites("Theirs again");
    ASSERT_TRUE(form->OpenDatabase(file));
    form->MarkChanged();
    otherProgramWrites("Theirs once more");
    script.answers = {IDYES};
    EXPECT_TRUE(form->SaveDocument());
    EXPECT_EQ(script.boxes.size(), 3u);
    EXPECT_EQ(titleIn(file), "Theirs again");
    form->MarkChanged();
    EXPECT_TRUE(form->SaveDocument());
    EXPECT_EQ(script.boxes.size(), 3u);
}

TEST_F(DocumentTest, ADamagedFileOpensWithAWarningAndAsksBeforeItIsSavedOver) {
    FirstShow();
    TDatabase big;
    AppendGroup(big, "Many", 1);
    for (int i = 0; i < 100; ++i)
        AppendItem(big, 0, "entry " + std::to_string(i), "login", "password", "", "", 17);
    const std::string file = dir.File("cut.tkf");
    const std::string whole = EncryptDatabase(big, "");
    WriteFile(file, whole.substr(0, whole.size() - 48));

    script.answers = {IDOK};
    ASSERT_TRUE(form->OpenDatabase(file));
    ASSERT_EQ(script.boxes.size(), 1u);
    EXPECT_EQ(script.boxes[0].text, "'" + file +
                                        "' is damaged: 48 bytes missing at its end.\nWhat could be read is shown. "
                                        "Saving over the file would lose the rest for good.");
    EXPECT_EQ(script.boxes[0].flags, toolkit::MB_OK | toolkit::MB_ICONEXCLAMATION);
    ASSERT_EQ(Parts(*form).GroupTree->TopLevelCount(), 1);
    const std::size_t readable = Parts(*form).Db.Items[0].size();
    EXPECT_GT(readable, 90u);
    EXPECT_LT(readable, 100u);

    // No: the damaged file stays as it is, and so does the unsaved state.
    form->MarkChanged();
    const std::string question = "'" + file +
                                 "' was damaged when it was opened: 48 bytes missing at its end.\nSaving replaces "
                                 "it with what is shown, and the missing part is lost for good. Save anyway?";
    script.answers = {IDNO};
    form->CmdSave();
    ASSERT_EQ(script.boxes.size(), 2u);
    EXPECT_EQ(script.boxes[1].text, question);
    EXPECT_EQ(script.boxes[1].flags, toolkit::MB_YESNO | toolkit::MB_ICONEXCLAMATION);
    EXPECT_EQ(ReadFile(file), whole.substr(0, whole.size() - 48));
    EXPECT_FALSE(Parts(*form).Saved);

    // Yes: saved whole; the next save asks no more.
    script.answers = {IDYES};
    form->CmdSave();
    TDatabase reread;
    const ReadResult r = ReadDatabase(reread, "", file);
    ASSERT_TRUE(r.ok());
    EXPECT_FALSE(r.damaged());
    EXPECT_EQ(reread.Items[0].size(), readable);
    form->MarkChanged();
    form->CmdSave();
    EXPECT_EQ(script.boxes.size(), 3u);
}

// A file the user may not write is not replaced, though its folder would allow it.
TEST_F(DocumentTest, SavingOverAReadOnlyFileFailsWithTheReason) {
    FirstShow();
    const std::string file = MakeDatabase(dir.File("ro.tkf"), "");
    ASSERT_EQ(::chmod(file.c_str(), 0444), 0);
    const std::string before = ReadFile(file);
    OpenPlain(file);
    form->MarkChanged();
    script.answers = {IDOK};
    toolkit::input::PressKeyOn(*Parts(*form).GroupTree, 'S', toolkit::ModCtrl);
    ASSERT_EQ(script.boxes.size(), 1u);
    EXPECT_EQ(script.boxes[0].text, "Encryption failed!\n'" + file + "': Permission denied");
    EXPECT_EQ(script.boxes[0].caption, "Tallykey 0.4");
    EXPECT_EQ(ReadFile(file), before);
    EXPECT_FALSE(Parts(*form).Saved);
    EXPECT_TRUE(form->SaveEnabled());
}

} // namespace
} // namespace tallykey::test
