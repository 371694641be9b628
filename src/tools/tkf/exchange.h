// The database as text: the tree for reading on a terminal, and the JSON and CSV forms
// that tkf exports and imports. Model strings are bytes of a Windows code page; every
// text here is UTF-8.
#pragma once

#include "database/model.h"

#include <stdexcept>
#include <string>
#include <string_view>

namespace tkf {

class ImportError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

enum class Format { Json, Csv };

// From the file name's extension (.json, .csv), else from the content ("{" first).
Format DetectFormat(std::string_view path, std::string_view content);

// Groups and items in file order. Passwords show as "(hidden)" unless revealed; control
// characters are shown as "?" so that a file cannot drive the terminal.
std::string ShowText(const tallykey::TDatabase& db, int codePage, bool reveal);

// {"groups": [{"title", "icon", "expanded", "items": [{"title", "icon", "login",
// "password", "weblink", "comment"}]}]}, indented by one space per level.
std::string ExportJson(const tallykey::TDatabase& db, int codePage);

// Header "Group","Title","Username","Password","URL","Notes", then one record per item.
// CSV has no place for icons, branch states or groups without items.
std::string ExportCsv(const tallykey::TDatabase& db, int codePage);

// Both throw ImportError with a message that names the place of the problem. Texts must
// be UTF-8 and hold no character the code page lacks (nothing is replaced silently).
// JSON: missing keys take defaults (texts empty, group icon 0, item icon 17, expanded
// true); unknown keys and wrong types are errors.
// CSV: columns are found by their header names (case does not matter, unknown columns are
// ignored, "Group" and "Title" are needed); groups are made in the order of their first
// appearance, open, with icon 0; items get icon 17.
tallykey::TDatabase ImportJson(std::string_view text, int codePage);
tallykey::TDatabase ImportCsv(std::string_view text, int codePage);

// Offset of the first byte that is not part of well-formed UTF-8, or npos.
std::size_t FindInvalidUtf8(std::string_view text);

} // namespace tkf
