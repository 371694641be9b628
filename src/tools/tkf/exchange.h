// The database as text: the tree for reading on a terminal, and the JSON and CSV forms
// that tkf exports and imports. Model strings are bytes of a Windows code page; every
// text here is UTF-8.
#pragma once

#include "database/database_file.h"
#include "database/model.h"

#include <functional>

#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace tkf {

class ImportError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

enum class Format { Json, Csv };

// From the file name's extension (.json, .csv), else from the content ("{" first).
Format DetectFormat(std::string_view path, std::string_view content);

// Writes a database as text while its records are read (see PlaintextVisitor), handing
// the output to `out` in pieces, so that the text of a large database is never held whole.
// Finish writes what closes the text. The forms:
// Show: groups and items in file order. Passwords show as "(hidden)" unless revealed;
//   control characters are shown as "?" so that a file cannot drive the terminal.
// Json: {"groups": [{"title", "icon", "expanded", "items": [{"title", "icon", "login",
//   "password", "weblink", "comment"}]}]}, indented by one space per level.
// Csv: header "Group","Title","Username","Password","URL","Notes", then one record per
//   item. CSV has no place for icons, branch states or groups without items.
// BitwardenJson: Bitwarden's unencrypted export (see bitwarden_json.h).
enum class TextForm { Show, Json, Csv, BitwardenJson };

class TextWriter final : public tallykey::PlaintextVisitor {
public:
    using Output = std::function<void(std::string_view)>;
    TextWriter(TextForm form, int codePage, bool reveal, Output out);
    void Group(const tallykey::TGroup& group, std::size_t items) override;
    void Item(const tallykey::TItem& item) override;
    void Finish();

private:
    void Flush(bool always);
    TextForm form_;
    int codePage_;
    bool reveal_;
    Output out_;
    std::string buffer_;
    std::string groupTitle_; // UTF-8, for the CSV records
    std::size_t groups_ = 0;
    std::size_t itemsLeft_ = 0;
    std::size_t itemsDone_ = 0;
    std::vector<std::string> folders_; // UTF-8 group titles, written after the items (BitwardenJson)
    std::size_t allItems_ = 0;
};

// The whole text at once (tests and small databases).
std::string WriteText(const tallykey::TDatabase& db, TextForm form, int codePage, bool reveal = false);

// Imported UTF-8 texts to the code page. A character the code page lacks is refused
// (nothing is replaced silently) unless `replaceUnmappable`, which stores "?" for it.
// Either way every such field is noted, so that one pass names them all. Messages
// never hold a password's text: its field and the place of the first character that
// does not fit are named instead.
class TextConversion {
public:
    TextConversion(int codePage, bool replaceUnmappable) : codePage_(codePage), replace_(replaceUnmappable) {}
    int CodePage() const { return codePage_; }
    // `where` names the field ("groups[0].items[1].password"); `secret` fields are
    // never quoted. A text holding U+0000 throws at once.
    std::string ToAnsi(const std::string& utf8, const std::string& where, bool secret);
    // Throws ImportError with one line per refused field, if there were any.
    void Finish() const;
    // The fields that got "?" (replaceUnmappable), by name, without their text.
    const std::vector<std::string>& Replaced() const { return replaced_; }

private:
    int codePage_;
    bool replace_;
    std::vector<std::string> refused_;
    std::vector<std::string> replaced_;
};

// What an import may build: no more than a database file may hold, so that any input
// gives a file the program can open, and memory stays in proportion to the input. Each
// returns what is wrong, or an empty text.
class ImportLimits {
public:
    std::string AddGroup(const std::string& title);
    std::string AddItem(const tallykey::TItem& item);
    std::string AddBytes(std::uint64_t bytes);

private:
    std::size_t groups_ = 0;
    std::size_t items_ = 0;
    std::uint64_t bytes_ = 0;
};

inline constexpr std::int32_t DefaultItemIcon = 17; // what Add Item presets
inline constexpr std::int32_t DefaultGroupIcon = 0;

// The program's edit boxes break lines at CR LF; a bare LF or a bare CR (old Mac
// programs) from other programs is made one so that the comment shows its lines.
std::string CommentLines(std::string text);

// Throws ImportError with a message that names the place of the problem; texts must be
// UTF-8 and are converted by `conversion` (which has been finished when it returns).
// Missing keys take defaults (texts empty, group icon 0, item icon 17, expanded true);
// unknown keys and wrong types are errors. (CSV and other managers' exports: see
// import_presets.h.)
tallykey::TDatabase ImportJson(std::string_view text, TextConversion& conversion);

// `text` with each control character as "?", for a terminal that the text must not drive.
std::string Printable(std::string text);

// Offset of the first byte that is not part of well-formed UTF-8, or npos.
std::size_t FindInvalidUtf8(std::string_view text);
// Throws ImportError naming the first byte that is not part of well-formed UTF-8.
void CheckUtf8(std::string_view text);

} // namespace tkf
