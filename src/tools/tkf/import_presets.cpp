#include "tools/tkf/import_presets.h"

#include "tools/tkf/bitwarden_json.h"
#include "tools/tkf/csv.h"

#include <algorithm>
#include <cctype>

namespace tkf {

using tallykey::TDatabase;
using tallykey::TItem;

namespace {

struct SourceName {
    Source source;
    const char* name;  // as --from takes it
    const char* title; // as users know it
};

const SourceName kSources[] = {
    {Source::Tallykey, "tallykey", "Tallykey"},
    {Source::KeePassXC, "keepassxc", "KeePassXC"},
    {Source::Bitwarden, "bitwarden", "Bitwarden"},
    {Source::Chrome, "chrome", "Chrome"},
    {Source::Firefox, "firefox", "Firefox"},
    {Source::OnePassword, "1password", "1Password"},
    {Source::PasswordSafe, "passwordsafe", "Password Safe"},
};

std::string Lower(std::string text) {
    for (char& c : text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

// What a column holds.
enum class Role {
    Group,
    Title,
    Login,
    Password,
    Url,
    Notes,
    GroupAndTitle, // Password Safe's "Group.Sub.Title"
    Uris,          // Bitwarden: URIs separated by commas, the first is the web link
    CustomFields,  // Bitwarden: "name: value" lines
    Flag,          // appended only when set ("", "0", "false" and "no" are not)
    Kind,          // the kind of entry (login, secure note): every kind becomes an item
    Reference,     // the source's own identifier: meaningless elsewhere, left out and counted
    Extra,         // appended under its label
};

struct Column {
    const char* header; // lower case
    Role role;
    const char* label; // the name appended to comments and shown in the summary
};

struct Preset {
    Source source;
    const char* what;                  // for the summary
    std::vector<const char*> required; // lower case header names that tell the source
    std::vector<Column> columns;       // the known ones; any other column is an Extra
    bool tabOnly = false;              // recognised only when tab-separated, without quoting
    const char* lineBreak = nullptr;   // what stands for a line break in its notes
    std::size_t forced = 0;            // with --from, only the first `forced` required columns (0: all)
};

// The most specific layouts first: the first whose required columns the header has is taken.
const std::vector<Preset>& Presets() {
    static const std::vector<Preset> presets = {
        {Source::Bitwarden,
         "Bitwarden CSV",
         {"type", "name", "login_username"},
         {{"folder", Role::Group, "Folder"},
          {"collections", Role::Group, "Collections"},
          {"favorite", Role::Flag, "Favorite"},
          {"type", Role::Kind, "Type"},
          {"name", Role::Title, "Name"},
          {"notes", Role::Notes, "Notes"},
          {"fields", Role::CustomFields, "Fields"},
          {"reprompt", Role::Flag, "Reprompt"},
          {"login_uri", Role::Uris, "URI"},
          {"login_username", Role::Login, "login_username"},
          {"login_password", Role::Password, "login_password"},
          {"login_totp", Role::Extra, "TOTP"}}},
        {Source::Firefox,
         "Firefox CSV",
         {"url", "username", "password", "httprealm"},
         {{"url", Role::Url, "url"},
          {"username", Role::Login, "username"},
          {"password", Role::Password, "password"},
          {"httprealm", Role::Extra, "HTTP realm"},
          {"formactionorigin", Role::Extra, "Form action origin"},
          {"guid", Role::Reference, "guid"},
          {"timecreated", Role::Extra, "Created (ms since 1970)"},
          {"timelastused", Role::Extra, "Last used (ms since 1970)"},
          {"timepasswordchanged", Role::Extra, "Password changed (ms since 1970)"}}},
        {Source::KeePassXC,
         "KeePassXC CSV",
         {"group", "title", "totp"},
         {{"group", Role::Group, "Group"},
          {"title", Role::Title, "Title"},
          {"username", Role::Login, "Username"},
          {"password", Role::Password, "Password"},
          {"url", Role::Url, "URL"},
          {"notes", Role::Notes, "Notes"},
          {"totp", Role::Extra, "TOTP"},
          {"icon", Role::Reference, "Icon"}, // a number of its own icon set
          {"last modified", Role::Extra, "Last Modified"},
          {"created", Role::Extra, "Created"}},
         false,
         nullptr,
         2}, // older versions write only the first six columns
        {Source::Tallykey,
         "CSV",
         {"group", "title"},
         {{"group", Role::Group, "Group"},
          {"title", Role::Title, "Title"},
          {"username", Role::Login, "Username"},
          {"password", Role::Password, "Password"},
          {"url", Role::Url, "URL"},
          {"notes", Role::Notes, "Notes"}}},
        {Source::PasswordSafe,
         "Password Safe text",
         {"group/title"},
         {{"group/title", Role::GroupAndTitle, "Group/Title"},
          {"username", Role::Login, "Username"},
          {"password", Role::Password, "Password"},
          {"url", Role::Url, "URL"},
          {"notes", Role::Notes, "Notes"}},
         true,
         "\xC2\xBB"}, // »
        {Source::OnePassword,
         "1Password CSV",
         {"title", "url", "username", "password"},
         {{"title", Role::Title, "Title"},
          {"url", Role::Url, "Url"},
          {"username", Role::Login, "Username"},
          {"password", Role::Password, "Password"},
          {"otpauth", Role::Extra, "OTPAuth"},
          {"favorite", Role::Flag, "Favorite"},
          {"archived", Role::Flag, "Archived"},
          {"tags", Role::Extra, "Tags"},
          {"notes", Role::Notes, "Notes"}}},
        {Source::Chrome,
         "Chrome CSV",
         {"name", "url", "username", "password"},
         {{"name", Role::Title, "name"},
          {"url", Role::Url, "url"},
          {"username", Role::Login, "username"},
          {"password", Role::Password, "password"},
          {"note", Role::Notes, "note"}}},
    };
    return presets;
}

bool HasColumns(const Preset& preset, bool forced, const std::vector<std::string>& lowerHeader, std::string* missing) {
    const std::size_t needed = forced && preset.forced != 0 ? preset.forced : preset.required.size();
    for (std::size_t n = 0; n < needed; ++n) {
        const char* name = preset.required[n];
        bool found = false;
        for (const std::string& h : lowerHeader)
            found = found || h == name;
        if (!found) {
            if (missing)
                *missing = name;
            return false;
        }
    }
    return true;
}

// The header's names in lower case; what is wrong with it as a table goes to `error`.
std::vector<std::string> HeaderOf(std::string_view text, CsvDialect dialect, std::string& error) {
    std::vector<std::string> header;
    try {
        ReadCsv(
            text,
            [&header](const CsvRecord& record, int) {
                if (header.empty())
                    header = record;
            },
            dialect);
    } catch (const CsvError& e) {
        error = e.what();
        header.clear();
    }
    for (std::string& name : header)
        name = Lower(name);
    return header;
}

struct Layout {
    const Preset* preset = nullptr;
    CsvDialect dialect;
};

// The source and separator of a table from its first line.
Layout Recognise(std::string_view text, const std::optional<Source>& from) {
    if (text.substr(0, 3) == "\xEF\xBB\xBF")
        text.remove_prefix(3);
    const std::string_view firstLine = text.substr(0, text.find_first_of("\r\n"));
    std::string commaError; // what is wrong with the header as comma-separated values
    for (const char separator : {',', ';', '\t'}) {
        for (const bool quoting : {true, false}) {
            if (!quoting && separator != '\t')
                continue;
            std::string error;
            const std::vector<std::string> header = HeaderOf(firstLine, {separator, quoting}, error);
            if (separator == ',')
                commaError = error;
            for (const Preset& preset : Presets()) {
                if ((from && preset.source != *from) || preset.tabOnly != (separator == '\t' && !quoting))
                    continue;
                if (HasColumns(preset, from.has_value(), header, nullptr))
                    return {&preset, {separator, quoting}};
            }
        }
    }
    if (from) {
        for (const Preset& preset : Presets()) {
            if (preset.source != *from)
                continue;
            std::string missing, error;
            HasColumns(preset, true, HeaderOf(firstLine, {preset.tabOnly ? '\t' : ',', !preset.tabOnly}, error),
                       &missing);
            if (!error.empty())
                throw ImportError(error);
            throw ImportError(std::string("line 1: not the header of a ") + preset.what + " export: no \"" + missing +
                              "\" column" + (preset.tabOnly ? " (columns separated by tabs)" : ""));
        }
        throw ImportError("line 1: not the header of an export that is read as a table (see --from)");
    }
    if (!commaError.empty())
        throw ImportError(commaError);
    throw ImportError("line 1: the header has no \"Group\" or no \"Title\" column, nor is it the header of an "
                      "export of KeePassXC, Bitwarden, Chrome, Firefox, 1Password or Password Safe (see --from)");
}

// `text` with every `from` replaced by `to`.
std::string ReplaceAll(std::string text, std::string_view from, std::string_view to) {
    for (std::size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
    return text;
}

// A quoted field of an export that does not double its quotes: the quotes go.
std::string Unquoted(const std::string& field) {
    if (field.size() >= 2 && field.front() == '"' && field.back() == '"')
        return field.substr(1, field.size() - 2);
    return field;
}

bool IsSet(const std::string& flag) {
    const std::string lower = Lower(flag);
    return !lower.empty() && lower != "0" && lower != "false" && lower != "no";
}

} // namespace

std::optional<Source> SourceByName(std::string_view name) {
    for (const SourceName& s : kSources)
        if (Lower(std::string(name)) == s.name)
            return s.source;
    return std::nullopt;
}

const char* SourceTitle(Source source) {
    for (const SourceName& s : kSources)
        if (s.source == source)
            return s.title;
    return "";
}

void ImportSummary::Count(Names& names, const std::string& fullName) {
    // A name is the source's, which may be anything: at most 40 bytes of it, cut between
    // characters.
    std::size_t length = std::min<std::size_t>(fullName.size(), 40);
    while (length < fullName.size() && length > 0 && (static_cast<unsigned char>(fullName[length]) & 0xC0) == 0x80)
        --length;
    const std::string name = fullName.substr(0, length) + (length < fullName.size() ? "..." : "");
    const auto found = names.index.find(name);
    if (found != names.index.end()) {
        ++names.counts[found->second].second;
    } else if (names.counts.size() < MaxNames) {
        names.index.emplace(name, names.counts.size());
        names.counts.emplace_back(name, 1);
    } else {
        ++names.others;
    }
}

std::string ImportSummary::Line(const char* what, const Names& names) {
    if (names.counts.empty())
        return {};
    std::string line = "\n" + std::string(what);
    for (std::size_t n = 0; n < names.counts.size(); ++n) {
        const auto& [name, count] = names.counts[n];
        line += (n == 0 ? " " : ", ") + Printable(name) + " (" + std::to_string(count) + ")";
    }
    if (names.others != 0)
        line += ", other names (" + std::to_string(names.others) + ")";
    return line;
}

std::string ImportSummary::Text() const {
    return source_ + ": " + std::to_string(groups_) + (groups_ == 1 ? " group and " : " groups and ") +
           std::to_string(items_) + (items_ == 1 ? " item made" : " items made") +
           Line("appended to comments, by name (items):", appended_) + Line("left out, by name (items):", dropped_);
}

std::string HostOf(std::string_view url) {
    std::string_view rest = url;
    if (const std::size_t scheme = rest.find("://"); scheme != std::string_view::npos)
        rest.remove_prefix(scheme + 3);
    rest = rest.substr(0, rest.find_first_of("/?#"));
    if (const std::size_t at = rest.rfind('@'); at != std::string_view::npos)
        rest.remove_prefix(at + 1);
    if (!rest.empty() && rest.front() == '[') // [IPv6]:port
        rest = rest.substr(0, rest.find(']') + 1);
    else
        rest = rest.substr(0, rest.find(':'));
    return std::string(rest.empty() ? url : rest);
}

EntryBuilder::EntryBuilder(Source source, TextConversion& conversion, const ImportOptions& options,
                           ImportSummary& summary)
    : source_(source), conversion_(conversion), dropExtra_(options.dropExtra), summary_(summary) {}

std::size_t EntryBuilder::NewGroup(const std::string& utf8Title, const std::string& where) {
    const std::string title = conversion_.ToAnsi(utf8Title, where, false);
    const std::string over = limits_.AddGroup(title);
    if (!over.empty())
        throw ImportError(where + ": " + over);
    tallykey::AppendGroup(db_, title, DefaultGroupIcon);
    summary_.CountGroup();
    return db_.Groups.size() - 1;
}

std::size_t EntryBuilder::Group(const std::string& utf8Title, const std::string& where) {
    const auto found = groupIndex_.find(utf8Title);
    if (found != groupIndex_.end())
        return found->second;
    const std::size_t index = NewGroup(utf8Title, where);
    groupIndex_.emplace(utf8Title, index);
    return index;
}

void EntryBuilder::Retitle(std::size_t group, const std::string& utf8Title, const std::string& where) {
    db_.Groups[group].Title = conversion_.ToAnsi(utf8Title, where, false);
    const std::string over = limits_.AddBytes(db_.Groups[group].Title.size());
    if (!over.empty())
        throw ImportError(where + ": " + over);
}

void EntryBuilder::Add(ForeignEntry& entry, const std::string& where) {
    // Tallykey's own tables keep a group without a title; other sources put what has no
    // folder into a group named after them.
    if (entry.group.empty() && source_ != Source::Tallykey)
        entry.group = SourceTitle(source_);
    const std::size_t group = Group(entry.group, where + " (" + std::string(entry.names[0]) + ")");
    Add(entry, group, where);
}

void EntryBuilder::Add(ForeignEntry& entry, std::size_t group, const std::string& where) {
    const auto convert = [&](const std::string& text, std::string_view name, bool secret) {
        return conversion_.ToAnsi(text, where + " (" + std::string(name) + ")", secret);
    };
    if (entry.title.empty() && !entry.url.empty())
        entry.title = HostOf(entry.url);
    TItem item;
    item.Icon = DefaultItemIcon;
    item.Title = convert(entry.title, entry.names[1], false);
    item.Login = convert(entry.login, entry.names[2], false);
    item.Password = convert(entry.password, entry.names[3], true);
    item.WebLink = convert(entry.url, entry.names[4], false);
    std::string comment = convert(entry.notes, entry.names[5], false);
    for (const auto& [name, value] : entry.extras) {
        if (value.empty())
            continue;
        if (dropExtra_) {
            summary_.Dropped(name);
            continue;
        }
        summary_.Appended(name);
        // What is appended may be a secret (a TOTP key, a hidden field): never quoted.
        comment += (comment.empty() ? "" : "\r\n") + convert(name, name, false) + ": " + convert(value, name, true);
    }
    item.Comment = CommentLines(std::move(comment));
    const std::string over = limits_.AddItem(item);
    if (!over.empty())
        throw ImportError(where + ": " + over);
    db_.Items[group].push_back(std::move(item));
    summary_.CountItem();
}

TDatabase EntryBuilder::Finish() {
    conversion_.Finish();
    return std::move(db_);
}

TDatabase ImportCsv(std::string_view text, TextConversion& conversion, const ImportOptions& options,
                    ImportSummary& summary) {
    CheckUtf8(text);
    const std::size_t start = text.find_first_not_of("\r\n", text.substr(0, 3) == "\xEF\xBB\xBF" ? 3 : 0);
    if (start == std::string_view::npos)
        throw ImportError("no header line (expected \"Group\",\"Title\",\"Username\",\"Password\",\"URL\",\"Notes\")");
    const Layout layout = Recognise(text.substr(start), options.from);
    const Preset& preset = *layout.preset;
    summary.SetSource(preset.what);
    EntryBuilder builder(preset.source, conversion, options, summary);

    CsvRecord header;
    std::vector<const Column*> columns; // per column of the input; nullptr: an extra
    std::vector<std::string> labels;    // per column: what the comment and summary call it
    const auto take = [&](const CsvRecord& rec, int line) {
        const std::string at = "line " + std::to_string(line);
        if (header.empty()) {
            header = rec;
            std::vector<int> first(preset.columns.size(), -1);
            for (std::size_t c = 0; c < header.size(); ++c) {
                const std::string name = Lower(Unquoted(header[c]));
                const Column* known = nullptr;
                for (std::size_t k = 0; k < preset.columns.size() && !known; ++k) {
                    if (name != preset.columns[k].header)
                        continue;
                    known = &preset.columns[k];
                    // Two columns for one field: which one is meant is not clear.
                    if (first[k] >= 0)
                        throw ImportError(at + ", column " + std::to_string(c + 1) + ": a second \"" + header[c] +
                                          "\" column (the first is column " + std::to_string(first[k] + 1) + ")");
                    first[k] = static_cast<int>(c);
                }
                columns.push_back(known);
                labels.push_back(known               ? std::string(known->label)
                                 : header[c].empty() ? "Column " + std::to_string(c + 1)
                                                     : Unquoted(header[c]));
            }
            return;
        }
        if (rec.size() != header.size())
            throw ImportError(at + ": " + std::to_string(rec.size()) + " fields, the header has " +
                              std::to_string(header.size()));
        ForeignEntry entry;
        // One cell may hold many fields (URIs, custom fields): no more than a record may have.
        const auto extra = [&](std::string name, std::string value) {
            if (entry.extras.size() == MaxCsvFields)
                throw ImportError(at + ": more than " + std::to_string(MaxCsvFields) + " fields");
            entry.extras.emplace_back(std::move(name), std::move(value));
        };
        for (std::size_t c = 0; c < rec.size(); ++c) {
            std::string value = preset.lineBreak ? Unquoted(rec[c]) : rec[c];
            const Role role = columns[c] ? columns[c]->role : Role::Extra;
            const std::string_view name = header[c];
            switch (role) {
            case Role::Group:
                if (entry.group.empty()) { // Bitwarden's collections only when there is no folder
                    entry.group = std::move(value);
                    entry.names[0] = name;
                }
                break;
            case Role::Title:
                entry.title = std::move(value);
                entry.names[1] = name;
                break;
            case Role::Login:
                entry.login = std::move(value);
                entry.names[2] = name;
                break;
            case Role::Password:
                entry.password = std::move(value);
                entry.names[3] = name;
                break;
            case Role::Url:
                entry.url = std::move(value);
                entry.names[4] = name;
                break;
            case Role::Notes:
                entry.notes = preset.lineBreak ? ReplaceAll(std::move(value), preset.lineBreak, "\r\n") : value;
                entry.names[5] = name;
                break;
            case Role::GroupAndTitle: {
                // "Group.Sub.Title"; a period inside a name is written as the line-break mark.
                const std::size_t dot = value.rfind('.');
                entry.title =
                    ReplaceAll(dot == std::string::npos ? value : value.substr(dot + 1), preset.lineBreak, ".");
                if (dot != std::string::npos)
                    entry.group = ReplaceAll(ReplaceAll(value.substr(0, dot), ".", "/"), preset.lineBreak, ".");
                entry.names[0] = entry.names[1] = name;
                break;
            }
            case Role::Uris: {
                std::size_t from = 0;
                for (bool first = true; from <= value.size(); first = false) {
                    std::size_t comma = value.find(',', from);
                    if (comma == std::string::npos)
                        comma = value.size();
                    std::string uri = value.substr(from, comma - from);
                    if (first) {
                        entry.url = std::move(uri);
                        entry.names[4] = name;
                    } else {
                        extra(labels[c], std::move(uri));
                    }
                    from = comma + 1;
                }
                break;
            }
            case Role::CustomFields: {
                std::size_t from = 0;
                while (from < value.size()) {
                    std::size_t end = value.find('\n', from);
                    if (end == std::string::npos)
                        end = value.size();
                    std::string line = value.substr(from, end - from);
                    if (!line.empty() && line.back() == '\r')
                        line.pop_back();
                    const std::size_t colon = line.find(": ");
                    if (colon == std::string::npos)
                        extra(labels[c], std::move(line));
                    else
                        extra(line.substr(0, colon), line.substr(colon + 2));
                    from = end + 1;
                }
                break;
            }
            case Role::Flag:
                if (IsSet(value))
                    extra(labels[c], std::move(value));
                break;
            case Role::Kind: break;
            case Role::Reference:
                if (!value.empty())
                    summary.Dropped(labels[c]);
                break;
            case Role::Extra: extra(labels[c], std::move(value)); break;
            }
        }
        builder.Add(entry, at);
    };
    try {
        ReadCsv(text, take, layout.dialect);
    } catch (const CsvError& e) {
        throw ImportError(e.what());
    }
    return builder.Finish();
}

TDatabase ImportText(std::string_view text, Format format, TextConversion& conversion, const ImportOptions& options,
                     ImportSummary& summary) {
    if (format == Format::Csv)
        return ImportCsv(text, conversion, options, summary);
    if (options.from == Source::Bitwarden || (!options.from && LooksLikeBitwardenJson(text))) {
        summary.SetSource("Bitwarden JSON");
        return ImportBitwardenJson(text, conversion, options, summary);
    }
    if (options.from && options.from != Source::Tallykey)
        throw ImportError(std::string("JSON is read from tkf's own export or Bitwarden's, not from ") +
                          SourceTitle(*options.from) + "'s (its CSV export is)");
    summary.SetSource("JSON");
    TDatabase db = ImportJson(text, conversion);
    for (std::size_t g = 0; g < db.Groups.size(); ++g) {
        summary.CountGroup();
        for (std::size_t k = 0; k < db.Items[g].size(); ++k)
            summary.CountItem();
    }
    return db;
}

} // namespace tkf
