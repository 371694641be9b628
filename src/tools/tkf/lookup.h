// Naming groups and items on the command line, and finding them while a database's records
// are read (tkf ls and get). Names are UTF-8, as every text tkf reads or writes.
//
// An item is named GROUP/TITLE, split at the last "/" that no backslash escapes: a group's
// title may hold "/" as it is ("Web/Mail/Home" is the item "Home" of the group "Web/Mail"),
// a "/" in an item's title is written "\/", and a backslash anywhere is written "\\". No
// other backslash sequence is allowed, so that a name is never read in two ways. Titles
// match exactly (bytes of their UTF-8, case counts).
#pragma once

#include "database/database_file.h"
#include "database/secure_memory.h"

#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace tkf {

// A name the rules above do not allow; the message says what is wrong with it.
class NameError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct EntryPath {
    std::string group;
    std::string title;
};

EntryPath ParseEntryPath(std::string_view name);
// A group's name alone (tkf ls FILE GROUP): the escapes resolved; "/" may stand as it is.
std::string ParseGroupName(std::string_view name);
// The names as they are written: the group part (backslashes doubled) and an item's title
// ("\" and "/" escaped), so that "GROUP/TITLE" made of them names the item.
std::string EscapeGroup(std::string_view title);
std::string EscapeTitle(std::string_view title);

// Lists, as the records are read, the groups' names one a line, or with `group` the titles
// of the items of every group of that name. Names are written escaped as above; control
// characters show as "?" so that a file cannot drive the terminal. Passwords and the other
// texts of items are never written.
class Lister final : public tallykey::PlaintextVisitor {
public:
    using Output = std::function<void(std::string_view)>;
    Lister(std::optional<std::string> group, int codePage, Output out);
    void Group(const tallykey::TGroup& group, std::size_t items) override;
    void Item(const tallykey::TItem& item) override;
    // With a group: whether a group of that name was read.
    bool GroupFound() const { return groupFound_; }

private:
    std::optional<std::string> group_;
    int codePage_;
    Output out_;
    bool inGroup_ = false;
    bool groupFound_ = false;
};

enum class Field { Login, Password, WebLink, Comment };
// "login", "password", "weblink" or "comment"; nullopt for anything else.
std::optional<Field> FieldNamed(std::string_view name);

// Finds the items named by a path as the records are read and keeps one field of the first
// match, in locked memory. Every match is counted and placed, so that a name that fits
// several items can be refused with their places.
class EntryFinder final : public tallykey::PlaintextVisitor {
public:
    EntryFinder(EntryPath path, Field field, int codePage);
    void Group(const tallykey::TGroup& group, std::size_t items) override;
    void Item(const tallykey::TItem& item) override;

    // "GROUP/TITLE (group G, item I)" of each match, numbered from 1 in file order.
    const std::vector<std::string>& Matches() const { return matches_; }
    // The field of the first match as UTF-8; a comment's line breaks are LF.
    const tallykey::SecretText& Value() const { return value_; }

private:
    EntryPath path_;
    Field field_;
    int codePage_;
    std::size_t groupNumber_ = 0;
    std::size_t itemNumber_ = 0;
    bool inGroup_ = false;
    std::vector<std::string> matches_;
    tallykey::SecretText value_;
};

} // namespace tkf
