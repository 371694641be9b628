// Imports from the exports of other password managers, and tkf's own CSV: each source's
// layout (its columns, where its groups and titles are), recognised from the header or
// named by the user. What a source holds that the database has no field for is appended
// to the item's comment as "Name: value" lines, or left out when asked; either way it is
// counted by name for the summary, never with its value.
#pragma once

#include "database/model.h"
#include "tools/tkf/exchange.h"

#include <array>
#include <cstddef>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tkf {

enum class Source { Tallykey, KeePassXC, Bitwarden, Chrome, Firefox, OnePassword, PasswordSafe };

// The names --from takes: tallykey, keepassxc, bitwarden, chrome, firefox, 1password,
// passwordsafe.
std::optional<Source> SourceByName(std::string_view name);
// As users know it ("1Password"); also the group of the entries that have none.
const char* SourceTitle(Source source);

struct ImportOptions {
    std::optional<Source> from; // else recognised from the input
    bool dropExtra = false;     // leave out what has no field instead of appending it
};

// What an import did, for standard error.
class ImportSummary {
public:
    void SetSource(std::string what) { source_ = std::move(what); }
    void CountGroup() { ++groups_; }
    void CountItem() { ++items_; }
    // One field of one item, by the name it has in the source.
    void Appended(const std::string& name) { Count(appended_, name); }
    void Dropped(const std::string& name) { Count(dropped_, name); }
    // "Chrome CSV: 2 groups and 5 items made", then a line each for the fields appended
    // to comments and those left out, with how many items had them; no final line break.
    std::string Text() const;

private:
    // Names beyond this many are counted together, so that an input cannot grow the
    // summary without bound.
    static constexpr std::size_t MaxNames = 40;
    struct Names {
        std::vector<std::pair<std::string, std::size_t>> counts; // in order of first appearance
        std::map<std::string, std::size_t> index;
        std::size_t others = 0;
    };
    static void Count(Names& names, const std::string& name);
    static std::string Line(const char* what, const Names& names);
    std::string source_;
    std::size_t groups_ = 0;
    std::size_t items_ = 0;
    Names appended_;
    Names dropped_;
};

// One entry as another manager has it; texts are UTF-8.
struct ForeignEntry {
    std::string group; // "A/B/C" for a nested one; empty: the source's own group
    std::string title; // empty: the host name of `url`
    std::string login;
    std::string password;
    std::string url;
    std::string notes;
    std::vector<std::pair<std::string, std::string>> extras; // name, value; empty values are skipped
    // What the source calls each field, for messages: group, title, login, password, url,
    // notes (views of texts that outlive the call that adds the entry).
    std::array<std::string_view, 6> names = {"group", "title", "login", "password", "url", "notes"};
};

// Makes groups and items of foreign entries as they are read, within ImportLimits.
// Groups are made in the order of their first appearance, open, icon 0; items get icon 17.
class EntryBuilder {
public:
    EntryBuilder(Source source, TextConversion& conversion, const ImportOptions& options, ImportSummary& summary);
    // The index of the group titled `utf8Title` (UTF-8), made when it is new; `where`
    // names the place in the input for errors.
    std::size_t Group(const std::string& utf8Title, const std::string& where);
    // A group that keeps the title given even when another has it (a Bitwarden folder).
    std::size_t NewGroup(const std::string& utf8Title, const std::string& where);
    // Gives a group made by NewGroup its title later (a folder named after its items).
    void Retitle(std::size_t group, const std::string& utf8Title, const std::string& where);
    void Add(ForeignEntry& entry, const std::string& where);
    void Add(ForeignEntry& entry, std::size_t group, const std::string& where);
    // Finishes the conversion (which throws for refused texts) and hands the database over.
    tallykey::TDatabase Finish();
    tallykey::TDatabase& Database() { return db_; }

private:
    Source source_;
    TextConversion& conversion_;
    bool dropExtra_;
    ImportSummary& summary_;
    ImportLimits limits_;
    tallykey::TDatabase db_;
    std::map<std::string, std::size_t> groupIndex_;
};

// The host of a URL ("https://user@www.example.com:8080/a" gives "www.example.com").
std::string HostOf(std::string_view url);

// A table in UTF-8: comma, semicolon or tab separated, the columns of tkf's own CSV export
// ("Group","Title","Username","Password","URL","Notes", found by name, case ignored) or of
// an export of another manager. Throws ImportError naming the line of a problem. Without
// options.from the header decides; two columns for one field, a record with more or fewer
// fields than the header, or a header no source has are refused.
tallykey::TDatabase ImportCsv(std::string_view text, TextConversion& conversion, const ImportOptions& options,
                              ImportSummary& summary);

// JSON or CSV, as `format` says: tkf's own JSON, or Bitwarden's (recognised by its keys,
// or with options.from). An encrypted Bitwarden export is refused.
tallykey::TDatabase ImportText(std::string_view text, Format format, TextConversion& conversion,
                               const ImportOptions& options, ImportSummary& summary);

} // namespace tkf
