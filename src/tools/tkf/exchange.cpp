#include "tools/tkf/exchange.h"

#include "tools/tkf/csv.h"
#include "tools/tkf/json.h"
#include "toolkit/ansi_text.h"

#include <algorithm>
#include <cctype>
#include <map>

namespace tkf {

using tallykey::TDatabase;
using tallykey::TGroup;
using tallykey::TItem;

namespace {

constexpr std::int32_t DefaultItemIcon = 17; // what Add Item presets
constexpr std::int32_t DefaultGroupIcon = 0;

std::string Utf8(std::string_view ansi, int codePage) {
    return toolkit::AnsiToUtf8(ansi, codePage);
}

// The program's edit boxes break lines at CR LF; a bare LF from hand-written input is
// made one so that the comment shows its lines.
std::string CommentLines(std::string text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r'))
            out.push_back('\r');
        out.push_back(text[i]);
    }
    return out;
}

std::string Printable(std::string text) {
    for (char& c : text)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f)
            c = '?';
    return text;
}

// Length of the UTF-8 sequence that starts with `lead` (the text is known to be UTF-8).
std::size_t SequenceLength(unsigned char lead) { return lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4; }

// 1-based number of the first character of `utf8` that the code page cannot hold.
std::size_t FirstUnfit(const std::string& utf8, int codePage) {
    std::size_t number = 1;
    for (std::size_t i = 0; i < utf8.size(); ++number) {
        const std::string one = utf8.substr(i, SequenceLength(static_cast<unsigned char>(utf8[i])));
        if (toolkit::AnsiToUtf8(toolkit::Utf8ToAnsi(one, codePage), codePage) != one)
            return number;
        i += one.size();
    }
    return number;
}

// At most the first 16 characters, shown safely on a terminal.
std::string ShortQuote(const std::string& utf8) {
    constexpr std::size_t kCharacters = 16;
    std::size_t end = 0;
    for (std::size_t n = 0; end < utf8.size() && n < kCharacters; ++n)
        end += SequenceLength(static_cast<unsigned char>(utf8[end]));
    end = std::min(end, utf8.size());
    return "\"" + Printable(utf8.substr(0, end)) + (end < utf8.size() ? "...\"" : "\"");
}

void CheckUtf8(std::string_view text) {
    const std::size_t bad = FindInvalidUtf8(text);
    if (bad != std::string_view::npos)
        throw ImportError("not UTF-8 text (byte " + std::to_string(bad) + ")");
}

std::string Lower(std::string text) {
    for (char& c : text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

} // namespace

std::string TextConversion::ToAnsi(const std::string& utf8, const std::string& where, bool secret) {
    if (utf8.find('\0') != std::string::npos)
        throw ImportError(where + ": a text cannot hold the character U+0000");
    std::string ansi = toolkit::Utf8ToAnsi(utf8, codePage_);
    if (toolkit::AnsiToUtf8(ansi, codePage_) == utf8)
        return ansi;
    if (replace_) {
        replaced_.push_back(where);
        return ansi;
    }
    refused_.push_back(where + ": " + (secret ? std::string("the text") : ShortQuote(utf8)) +
                       " has characters that code page " + std::to_string(codePage_) +
                       " cannot hold, the first at character " + std::to_string(FirstUnfit(utf8, codePage_)) +
                       " (see --codepage, --replace-unmappable)");
    return ansi;
}

void TextConversion::Finish() const {
    std::string lines;
    for (const std::string& line : refused_)
        lines += (lines.empty() ? "" : "\n") + line;
    if (!lines.empty())
        throw ImportError(lines);
}

std::size_t FindInvalidUtf8(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size()) {
        const auto b = static_cast<unsigned char>(text[i]);
        std::size_t length;
        std::uint32_t cp;
        if (b < 0x80) {
            ++i;
            continue;
        } else if ((b & 0xE0) == 0xC0) {
            length = 2;
            cp = b & 0x1F;
        } else if ((b & 0xF0) == 0xE0) {
            length = 3;
            cp = b & 0x0F;
        } else if ((b & 0xF8) == 0xF0) {
            length = 4;
            cp = b & 0x07;
        } else {
            return i;
        }
        if (i + length > text.size())
            return i;
        for (std::size_t k = 1; k < length; ++k) {
            const auto c = static_cast<unsigned char>(text[i + k]);
            if ((c & 0xC0) != 0x80)
                return i;
            cp = (cp << 6) | (c & 0x3F);
        }
        const std::uint32_t minimum = length == 2 ? 0x80 : length == 3 ? 0x800 : 0x10000;
        if (cp < minimum || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
            return i;
        i += length;
    }
    return std::string_view::npos;
}

Format DetectFormat(std::string_view path, std::string_view content) {
    const std::string lower = Lower(std::string(path));
    const auto endsWith = [&lower](std::string_view suffix) {
        return lower.size() >= suffix.size() && lower.compare(lower.size() - suffix.size(), suffix.size(), suffix) == 0;
    };
    if (endsWith(".json"))
        return Format::Json;
    if (endsWith(".csv"))
        return Format::Csv;
    if (content.substr(0, 3) == "\xEF\xBB\xBF")
        content.remove_prefix(3);
    const std::size_t first = content.find_first_not_of(" \t\r\n");
    return first != std::string_view::npos && content[first] == '{' ? Format::Json : Format::Csv;
}

std::string ShowText(const TDatabase& db, int codePage, bool reveal) {
    std::string out;
    if (db.Groups.empty())
        return "(no groups)\n";
    const auto line = [&](std::string_view indent, std::string_view label, const std::string& value) {
        out += indent;
        out += label;
        if (!value.empty()) {
            out.append(10 - label.size(), ' '); // values start in one column
            out += value;
        }
        out += '\n';
    };
    for (std::size_t g = 0; g < db.Groups.size() && g < db.Items.size(); ++g) {
        const TGroup& group = db.Groups[g];
        out += Printable(Utf8(group.Title, codePage)) + " (icon " + std::to_string(group.Icon) +
               (group.Expanded ? ", open)\n" : ", closed)\n");
        for (const TItem& item : db.Items[g]) {
            out += "  " + Printable(Utf8(item.Title, codePage)) + " (icon " + std::to_string(item.Icon) + ")\n";
            line("    ", "Login:", Printable(Utf8(item.Login, codePage)));
            line("    ", "Password:", item.Password.empty() ? std::string()
                                      : reveal          ? Printable(Utf8(item.Password, codePage))
                                                        : std::string("(hidden)"));
            line("    ", "Web link:", Printable(Utf8(item.WebLink, codePage)));
            // A comment's lines stay lines, aligned under the first.
            std::string comment = Utf8(item.Comment, codePage);
            std::string shown;
            std::size_t start = 0;
            while (start <= comment.size()) {
                std::size_t end = comment.find('\n', start);
                if (end == std::string::npos)
                    end = comment.size();
                std::string part = comment.substr(start, end - start);
                if (!part.empty() && part.back() == '\r')
                    part.pop_back();
                if (start != 0)
                    shown += "\n              ";
                shown += Printable(part);
                start = end + 1;
            }
            line("    ", "Comment:", shown);
        }
    }
    return out;
}

std::string ExportJson(const TDatabase& db, int codePage) {
    std::string out = "{\n \"groups\": [";
    const std::size_t groups = std::min(db.Groups.size(), db.Items.size());
    const auto key = [&out](std::string_view indent, std::string_view name) {
        out += indent;
        out += '"';
        out += name;
        out += "\": ";
    };
    for (std::size_t g = 0; g < groups; ++g) {
        const TGroup& group = db.Groups[g];
        out += g == 0 ? "\n  {\n" : ",\n  {\n";
        key("   ", "title");
        AppendJsonString(out, Utf8(group.Title, codePage));
        out += ",\n";
        key("   ", "icon");
        out += std::to_string(group.Icon) + ",\n";
        key("   ", "expanded");
        out += group.Expanded ? "true,\n" : "false,\n";
        key("   ", "items");
        out += '[';
        const auto& items = db.Items[g];
        for (std::size_t k = 0; k < items.size(); ++k) {
            const TItem& item = items[k];
            out += k == 0 ? "\n    {\n" : ",\n    {\n";
            const auto text = [&](std::string_view name, const std::string& value, bool last = false) {
                key("     ", name);
                AppendJsonString(out, Utf8(value, codePage));
                out += last ? "\n" : ",\n";
            };
            text("title", item.Title);
            key("     ", "icon");
            out += std::to_string(item.Icon) + ",\n";
            text("login", item.Login);
            text("password", item.Password);
            text("weblink", item.WebLink);
            text("comment", item.Comment, true);
            out += "    }";
        }
        out += items.empty() ? "]\n  }" : "\n   ]\n  }";
    }
    out += groups == 0 ? "]\n}\n" : "\n ]\n}\n";
    return out;
}

std::string ExportCsv(const TDatabase& db, int codePage) {
    std::string out;
    AppendCsvRecord(out, {"Group", "Title", "Username", "Password", "URL", "Notes"});
    for (std::size_t g = 0; g < db.Groups.size() && g < db.Items.size(); ++g) {
        const std::string group = Utf8(db.Groups[g].Title, codePage);
        for (const TItem& item : db.Items[g]) {
            AppendCsvRecord(out, {group, Utf8(item.Title, codePage), Utf8(item.Login, codePage),
                                  Utf8(item.Password, codePage), Utf8(item.WebLink, codePage),
                                  Utf8(item.Comment, codePage)});
        }
    }
    return out;
}

namespace {

const JsonValue& Need(const JsonValue& v, JsonValue::Kind kind, const std::string& where) {
    if (v.kind != kind) {
        static const char* const names[] = {"null", "true or false", "a number", "a string",
                                            "an array", "an object"};
        throw ImportError(where + ": expected " + names[static_cast<int>(kind)]);
    }
    return v;
}

std::int32_t Icon(const JsonValue& v, const std::string& where) {
    const auto value = Need(v, JsonValue::Kind::Number, where).AsInt32();
    if (!value)
        throw ImportError(where + ": expected a whole number from -2147483648 to 2147483647");
    return *value;
}

} // namespace

TDatabase ImportJson(std::string_view text, TextConversion& conversion) {
    CheckUtf8(text);
    JsonValue root;
    try {
        root = ParseJson(text);
    } catch (const JsonError& e) {
        throw ImportError(e.what());
    }
    Need(root, JsonValue::Kind::Object, "the document");
    TDatabase db;
    bool sawGroups = false;
    for (const auto& [name, value] : root.object) {
        if (name != "groups")
            throw ImportError("unknown key \"" + name + "\" (expected \"groups\")");
        sawGroups = true;
        Need(value, JsonValue::Kind::Array, "groups");
        for (std::size_t g = 0; g < value.array.size(); ++g) {
            const std::string gw = "groups[" + std::to_string(g) + "]";
            const JsonValue& jg = Need(value.array[g], JsonValue::Kind::Object, gw);
            TGroup group;
            group.Icon = DefaultGroupIcon;
            group.Expanded = true;
            std::vector<TItem> items;
            for (const auto& [gk, gv] : jg.object) {
                const std::string where = gw + "." + gk;
                if (gk == "title") {
                    group.Title = conversion.ToAnsi(Need(gv, JsonValue::Kind::String, where).text, where, false);
                } else if (gk == "icon") {
                    group.Icon = Icon(gv, where);
                } else if (gk == "expanded") {
                    group.Expanded = Need(gv, JsonValue::Kind::Bool, where).boolean;
                } else if (gk == "items") {
                    Need(gv, JsonValue::Kind::Array, where);
                    for (std::size_t k = 0; k < gv.array.size(); ++k) {
                        const std::string iw = where + "[" + std::to_string(k) + "]";
                        const JsonValue& ji = Need(gv.array[k], JsonValue::Kind::Object, iw);
                        TItem item;
                        item.Icon = DefaultItemIcon;
                        for (const auto& [ik, iv] : ji.object) {
                            const std::string fw = iw + "." + ik;
                            std::string* field = ik == "title"      ? &item.Title
                                                 : ik == "login"    ? &item.Login
                                                 : ik == "password" ? &item.Password
                                                 : ik == "weblink"  ? &item.WebLink
                                                 : ik == "comment"  ? &item.Comment
                                                                    : nullptr;
                            if (field != nullptr) {
                                *field = conversion.ToAnsi(Need(iv, JsonValue::Kind::String, fw).text, fw,
                                                           field == &item.Password);
                                if (field == &item.Comment)
                                    *field = CommentLines(std::move(*field));
                            } else if (ik == "icon") {
                                item.Icon = Icon(iv, fw);
                            } else {
                                throw ImportError(iw + ": unknown key \"" + ik + "\"");
                            }
                        }
                        items.push_back(std::move(item));
                    }
                } else {
                    throw ImportError(gw + ": unknown key \"" + gk + "\"");
                }
            }
            db.Groups.push_back(std::move(group));
            db.Items.push_back(std::move(items));
        }
    }
    if (!sawGroups)
        throw ImportError("the document has no \"groups\" array");
    conversion.Finish();
    return db;
}

TDatabase ImportCsv(std::string_view text, TextConversion& conversion) {
    CheckUtf8(text);
    std::vector<CsvRecord> records;
    try {
        records = ParseCsv(text);
    } catch (const CsvError& e) {
        throw ImportError(e.what());
    }
    if (records.empty())
        throw ImportError("no header line (expected \"Group\",\"Title\",\"Username\",\"Password\",\"URL\",\"Notes\")");
    const CsvRecord& header = records[0];
    const char* const names[] = {"group", "title", "username", "password", "url", "notes"};
    constexpr int kPasswordColumn = 3;
    int column[6] = {-1, -1, -1, -1, -1, -1};
    for (std::size_t c = 0; c < header.size(); ++c) {
        const std::string name = Lower(header[c]);
        for (int n = 0; n < 6; ++n)
            if (name == names[n] && column[n] < 0)
                column[n] = static_cast<int>(c);
    }
    if (column[0] < 0 || column[1] < 0)
        throw ImportError("the header has no \"Group\" or no \"Title\" column");

    TDatabase db;
    std::map<std::string, int> groupIndex;
    for (std::size_t r = 1; r < records.size(); ++r) {
        const CsvRecord& rec = records[r];
        const std::string where = "record " + std::to_string(r + 1);
        if (rec.size() != header.size())
            throw ImportError(where + ": " + std::to_string(rec.size()) + " fields, the header has " +
                              std::to_string(header.size()));
        const auto field = [&](int n) {
            return column[n] < 0 ? std::string()
                                 : conversion.ToAnsi(rec[column[n]], where + " (" + header[column[n]] + ")",
                                                     n == kPasswordColumn);
        };
        const std::string groupTitle = field(0);
        auto found = groupIndex.find(groupTitle);
        if (found == groupIndex.end()) {
            tallykey::AppendGroup(db, groupTitle, DefaultGroupIcon);
            found = groupIndex.emplace(groupTitle, static_cast<int>(db.Groups.size()) - 1).first;
        }
        // In column order, so that refused fields are named in the order of the record.
        std::string texts[6];
        for (int n = 1; n < 6; ++n)
            texts[n] = field(n);
        tallykey::AppendItem(db, found->second, texts[1], texts[2], texts[3], texts[4], CommentLines(texts[5]),
                             DefaultItemIcon);
    }
    conversion.Finish();
    return db;
}

} // namespace tkf
