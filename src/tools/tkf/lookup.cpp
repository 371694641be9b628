#include "tools/tkf/lookup.h"

#include "toolkit/ansi_text.h"
#include "tools/tkf/exchange.h"

namespace tkf {

using tallykey::TGroup;
using tallykey::TItem;

namespace {

// `name` with its escapes resolved; `lastSlash` receives the offset in the result of the
// last "/" that no backslash escaped (npos when there is none).
std::string Unescape(std::string_view name, std::size_t& lastSlash) {
    lastSlash = std::string::npos;
    std::string out;
    out.reserve(name.size());
    for (std::size_t i = 0; i < name.size(); ++i) {
        const char c = name[i];
        if (c != '\\') {
            if (c == '/')
                lastSlash = out.size();
            out += c;
            continue;
        }
        if (i + 1 == name.size() || (name[i + 1] != '\\' && name[i + 1] != '/'))
            throw NameError("\"" + Printable(std::string(name)) +
                            "\": a backslash may only stand before \"\\\" or \"/\" (write \"\\\\\" for one)");
        out += name[++i];
    }
    return out;
}

std::string Escape(std::string_view text, bool slashes) {
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        if (c == '\\' || (slashes && c == '/'))
            out += '\\';
        out += c;
    }
    return out;
}

} // namespace

EntryPath ParseEntryPath(std::string_view name) {
    std::size_t slash = 0;
    std::string whole = Unescape(name, slash);
    if (slash == std::string::npos)
        throw NameError("\"" + Printable(std::string(name)) +
                        "\": no \"/\" between the group and the title (write GROUP/TITLE)");
    return {whole.substr(0, slash), whole.substr(slash + 1)};
}

std::string ParseGroupName(std::string_view name) {
    std::size_t slash = 0;
    return Unescape(name, slash);
}

std::string EscapeGroup(std::string_view title) { return Escape(title, false); }
std::string EscapeTitle(std::string_view title) { return Escape(title, true); }

Lister::Lister(std::optional<std::string> group, int codePage, Output out)
    : group_(std::move(group)), codePage_(codePage), out_(std::move(out)) {}

void Lister::Group(const TGroup& group, std::size_t) {
    const std::string title = toolkit::AnsiToUtf8(group.Title, codePage_);
    if (!group_) {
        out_(Printable(EscapeGroup(title)) + "\n");
        return;
    }
    inGroup_ = title == *group_;
    groupFound_ = groupFound_ || inGroup_;
}

void Lister::Item(const TItem& item) {
    if (inGroup_)
        out_(Printable(EscapeTitle(toolkit::AnsiToUtf8(item.Title, codePage_))) + "\n");
}

std::optional<Field> FieldNamed(std::string_view name) {
    if (name == "login")
        return Field::Login;
    if (name == "password")
        return Field::Password;
    if (name == "weblink")
        return Field::WebLink;
    if (name == "comment")
        return Field::Comment;
    return std::nullopt;
}

EntryFinder::EntryFinder(EntryPath path, Field field, int codePage)
    : path_(std::move(path)), field_(field), codePage_(codePage) {}

void EntryFinder::Group(const TGroup& group, std::size_t) {
    ++groupNumber_;
    itemNumber_ = 0;
    inGroup_ = toolkit::AnsiToUtf8(group.Title, codePage_) == path_.group;
}

void EntryFinder::Item(const TItem& item) {
    ++itemNumber_;
    if (!inGroup_ || toolkit::AnsiToUtf8(item.Title, codePage_) != path_.title)
        return;
    matches_.push_back(Printable(EscapeGroup(path_.group) + "/" + EscapeTitle(path_.title)) + " (group " +
                       std::to_string(groupNumber_) + ", item " + std::to_string(itemNumber_) + ")");
    if (matches_.size() > 1)
        return;
    const tallykey::FieldText& ansi = field_ == Field::Login ? item.Login
                              : field_ == Field::Password ? item.Password
                              : field_ == Field::WebLink  ? item.WebLink
                                                          : item.Comment;
    std::string text = toolkit::AnsiToUtf8(ansi, codePage_);
    if (field_ == Field::Comment) {
        // The database breaks lines with CR LF; a shell's tools expect LF.
        std::size_t kept = 0;
        for (std::size_t i = 0; i < text.size(); ++i)
            if (!(text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n'))
                text[kept++] = text[i];
        text.resize(kept);
    }
    value_ = std::move(text); // wipes `text`
}

} // namespace tkf
