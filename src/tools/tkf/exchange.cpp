#include "tools/tkf/exchange.h"

#include "tools/tkf/bitwarden_json.h"
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

std::string Utf8(std::string_view ansi, int codePage) {
    return toolkit::AnsiToUtf8(ansi, codePage);
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

std::string Lower(std::string text) {
    for (char& c : text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

} // namespace

std::string Printable(std::string text) {
    for (char& c : text)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f)
            c = '?';
    return text;
}

std::string CommentLines(std::string text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r'))
            out.push_back('\r');
        out.push_back(text[i]);
        if (text[i] == '\r' && (i + 1 == text.size() || text[i + 1] != '\n'))
            out.push_back('\n');
    }
    return out;
}

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

void CheckUtf8(std::string_view text) {
    const std::size_t bad = FindInvalidUtf8(text);
    if (bad != std::string_view::npos)
        throw ImportError("not UTF-8 text (byte " + std::to_string(bad) + ")");
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

TextWriter::TextWriter(TextForm form, int codePage, bool reveal, Output out)
    : form_(form), codePage_(codePage), reveal_(reveal), out_(std::move(out)) {
    if (form_ == TextForm::Json)
        buffer_ = "{\n \"groups\": [";
    else if (form_ == TextForm::Csv)
        AppendCsvRecord(buffer_, {"Group", "Title", "Username", "Password", "URL", "Notes"});
    else if (form_ == TextForm::BitwardenJson)
        BeginBitwardenJson(buffer_);
}

void TextWriter::Flush(bool always) {
    constexpr std::size_t Piece = 64 * 1024;
    if (buffer_.empty() || (!always && buffer_.size() < Piece))
        return;
    out_(buffer_);
    buffer_.clear();
}

void TextWriter::Group(const TGroup& group, std::size_t items) {
    ++groups_;
    itemsLeft_ = items;
    itemsDone_ = 0;
    std::string& out = buffer_;
    switch (form_) {
    case TextForm::Show:
        out += Printable(Utf8(group.Title, codePage_)) + " (icon " + std::to_string(group.Icon) +
               (group.Expanded ? ", open)\n" : ", closed)\n");
        break;
    case TextForm::Json:
        out += groups_ == 1 ? "\n  {\n" : ",\n  {\n";
        out += "   \"title\": ";
        AppendJsonString(out, Utf8(group.Title, codePage_));
        out += ",\n   \"icon\": " + std::to_string(group.Icon) + ",\n   \"expanded\": ";
        out += group.Expanded ? "true,\n" : "false,\n";
        out += "   \"items\": [";
        if (items == 0)
            out += "]\n  }";
        break;
    case TextForm::Csv:
        groupTitle_ = Utf8(group.Title, codePage_);
        break;
    case TextForm::BitwardenJson: folders_.push_back(Utf8(group.Title, codePage_)); break;
    }
    Flush(false);
}

void TextWriter::Item(const TItem& item) {
    std::string& out = buffer_;
    switch (form_) {
    case TextForm::Show: {
        const auto line = [&](std::string_view label, const std::string& value) {
            out += "    ";
            out += label;
            if (!value.empty()) {
                out.append(10 - label.size(), ' '); // values start in one column
                out += value;
            }
            out += '\n';
        };
        out += "  " + Printable(Utf8(item.Title, codePage_)) + " (icon " + std::to_string(item.Icon) + ")\n";
        line("Login:", Printable(Utf8(item.Login, codePage_)));
        line("Password:", item.Password.empty() ? std::string()
                          : reveal_             ? Printable(Utf8(item.Password, codePage_))
                                                : std::string("(hidden)"));
        line("Web link:", Printable(Utf8(item.WebLink, codePage_)));
        // A comment's lines stay lines, aligned under the first.
        const std::string comment = Utf8(item.Comment, codePage_);
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
        line("Comment:", shown);
        break;
    }
    case TextForm::Json: {
        out += itemsDone_ == 0 ? "\n    {\n" : ",\n    {\n";
        const auto text = [&](std::string_view name, std::string_view value, bool last = false) {
            out += "     \"";
            out += name;
            out += "\": ";
            AppendJsonString(out, Utf8(value, codePage_));
            out += last ? "\n" : ",\n";
        };
        text("title", item.Title);
        out += "     \"icon\": " + std::to_string(item.Icon) + ",\n";
        text("login", item.Login);
        text("password", item.Password);
        text("weblink", item.WebLink);
        text("comment", item.Comment, true);
        out += "    }";
        if (itemsDone_ + 1 == itemsLeft_)
            out += "\n   ]\n  }";
        break;
    }
    case TextForm::Csv:
        AppendCsvRecord(out, {groupTitle_, Utf8(item.Title, codePage_), Utf8(item.Login, codePage_),
                              Utf8(item.Password, codePage_), Utf8(item.WebLink, codePage_),
                              Utf8(item.Comment, codePage_)});
        break;
    case TextForm::BitwardenJson:
        AppendBitwardenItem(out, folders_.size() - 1, allItems_, Utf8(item.Title, codePage_),
                            Utf8(item.Login, codePage_), Utf8(item.Password, codePage_), Utf8(item.WebLink, codePage_),
                            Utf8(item.Comment, codePage_));
        break;
    }
    ++itemsDone_;
    ++allItems_;
    Flush(false);
}

void TextWriter::Finish() {
    if (form_ == TextForm::Show && groups_ == 0)
        buffer_ += "(no groups)\n";
    else if (form_ == TextForm::Json)
        buffer_ += groups_ == 0 ? "]\n}\n" : "\n ]\n}\n";
    else if (form_ == TextForm::BitwardenJson)
        EndBitwardenJson(buffer_, folders_, allItems_);
    Flush(true);
}

std::string WriteText(const TDatabase& db, TextForm form, int codePage, bool reveal) {
    std::string text;
    TextWriter writer(form, codePage, reveal, [&text](std::string_view piece) { text += piece; });
    for (std::size_t g = 0; g < db.Groups.size() && g < db.Items.size(); ++g) {
        writer.Group(db.Groups[g], db.Items[g].size());
        for (const TItem& item : db.Items[g])
            writer.Item(item);
    }
    writer.Finish();
    return text;
}

std::string ImportLimits::AddGroup(const std::string& title) {
    if (++groups_ > tallykey::MaxGroups)
        return "more than the " + std::to_string(tallykey::MaxGroups) + " groups a database may hold";
    return AddBytes(title.size() + 16);
}

std::string ImportLimits::AddItem(const TItem& item) {
    if (++items_ > tallykey::MaxItems)
        return "more than the " + std::to_string(tallykey::MaxItems) + " items a database may hold";
    return AddBytes(item.Title.size() + item.Login.size() + item.Password.size() + item.WebLink.size() +
                    item.Comment.size() + 17);
}

// Each field's terminator and decimal numbers at their longest.
std::string ImportLimits::AddBytes(std::uint64_t bytes) {
    bytes_ += bytes;
    if (bytes_ > tallykey::MaxPlaintextSize)
        return "the database would be larger than the " + std::to_string(tallykey::MaxPlaintextSize) +
               " bytes a database may hold";
    return {};
}

namespace {

using Kind = JsonReader::Kind;

void Need(JsonReader& json, Kind kind, const std::string& where) {
    if (json.Peek() != kind) {
        static const char* const names[] = {"null", "true or false", "a number", "a string",
                                            "an array", "an object", "a value"};
        json.Fail(where + ": expected " + names[static_cast<int>(kind)]);
    }
}

std::string Text(JsonReader& json, TextConversion& conversion, const std::string& where, bool secret = false) {
    Need(json, Kind::String, where);
    const std::string text = json.String();
    try {
        return conversion.ToAnsi(text, where, secret);
    } catch (const ImportError& e) {
        json.Fail(e.what());
    }
}

std::int32_t Icon(JsonReader& json, const std::string& where) {
    Need(json, Kind::Number, where);
    const auto value = JsonInt32(json.Number());
    if (!value)
        json.Fail(where + ": expected a whole number from -2147483648 to 2147483647");
    return *value;
}

// A key may come once in its object: with two, which one is meant is not clear.
void Once(JsonReader& json, unsigned& seen, unsigned bit, const std::string& where, const std::string& key) {
    if (seen & bit)
        json.Fail(where + ": a second \"" + key + "\"");
    seen |= bit;
}

} // namespace

TDatabase ImportJson(std::string_view text, TextConversion& conversion) {
    CheckUtf8(text);
    TDatabase db;
    ImportLimits limits;
    try {
        JsonReader json(text);
        Need(json, Kind::Object, "the document");
        json.BeginObject();
        bool sawGroups = false;
        std::string key;
        while (json.NextKey(key)) {
            if (key != "groups")
                json.Fail("unknown key \"" + key + "\" (expected \"groups\")");
            if (sawGroups)
                json.Fail("a second \"groups\"");
            sawGroups = true;
            Need(json, Kind::Array, "groups");
            json.BeginArray();
            for (std::size_t g = 0; json.NextElement(); ++g) {
                const std::string gw = "groups[" + std::to_string(g) + "]";
                Need(json, Kind::Object, gw);
                json.BeginObject();
                TGroup group;
                group.Icon = DefaultGroupIcon;
                group.Expanded = true;
                std::vector<TItem> items;
                unsigned seen = 0;
                std::string gk;
                while (json.NextKey(gk)) {
                    const std::string where = gw + "." + gk;
                    if (gk == "title") {
                        Once(json, seen, 1, gw, gk);
                        group.Title = Text(json, conversion, where);
                    } else if (gk == "icon") {
                        Once(json, seen, 2, gw, gk);
                        group.Icon = Icon(json, where);
                    } else if (gk == "expanded") {
                        Once(json, seen, 4, gw, gk);
                        Need(json, Kind::Bool, where);
                        group.Expanded = json.Bool();
                    } else if (gk == "items") {
                        Once(json, seen, 8, gw, gk);
                        Need(json, Kind::Array, where);
                        json.BeginArray();
                        for (std::size_t k = 0; json.NextElement(); ++k) {
                            const std::string iw = where + "[" + std::to_string(k) + "]";
                            Need(json, Kind::Object, iw);
                            json.BeginObject();
                            TItem item;
                            item.Icon = DefaultItemIcon;
                            unsigned itemSeen = 0;
                            std::string ik;
                            while (json.NextKey(ik)) {
                                static const char* const names[] = {"title", "icon", "login", "password",
                                                                    "weblink", "comment"};
                                int n = 0;
                                while (n < 6 && ik != names[n])
                                    ++n;
                                if (n == 6)
                                    json.Fail(iw + ": unknown key \"" + ik + "\"");
                                Once(json, itemSeen, 1u << n, iw, ik);
                                const std::string fw = iw + "." + ik;
                                switch (n) {
                                case 0: item.Title = Text(json, conversion, fw); break;
                                case 1: item.Icon = Icon(json, fw); break;
                                case 2: item.Login = Text(json, conversion, fw); break;
                                case 3: item.Password = Text(json, conversion, fw, true); break;
                                case 4: item.WebLink = Text(json, conversion, fw); break;
                                default: item.Comment = CommentLines(Text(json, conversion, fw)); break;
                                }
                            }
                            const std::string over = limits.AddItem(item);
                            if (!over.empty())
                                json.Fail(iw + ": " + over);
                            items.push_back(std::move(item));
                        }
                    } else {
                        json.Fail(gw + ": unknown key \"" + gk + "\"");
                    }
                }
                const std::string over = limits.AddGroup(group.Title);
                if (!over.empty())
                    json.Fail(gw + ": " + over);
                db.Groups.push_back(std::move(group));
                db.Items.push_back(std::move(items));
            }
        }
        if (!sawGroups)
            throw ImportError("the document has no \"groups\" array");
        json.End();
    } catch (const JsonError& e) {
        throw ImportError(e.what());
    }
    conversion.Finish();
    return db;
}

} // namespace tkf
