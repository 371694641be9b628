// Bitwarden's unencrypted JSON export, read and written: {"encrypted": false, "folders":
// [{"id", "name"}], "items": [{"id", "folderId", "type", "name", "notes", "favorite",
// "fields", "login": {"uris": [{"match", "uri"}], "username", "password", "totp"}, ...}]}.
// Bitwarden, 1Password and KeePassXC read this form; texts are UTF-8.
#pragma once

#include "database/model.h"
#include "tools/tkf/import_presets.h"

#include <string>
#include <string_view>
#include <vector>

namespace tkf {

// Whether the document's first key is one that Bitwarden's export has at its top and
// tkf's own JSON does not.
bool LooksLikeBitwardenJson(std::string_view text);

// Folders (and an organisation's collections) become groups in the order the document
// lists them, items go into the group of their folder (or first collection), items without
// one into the group "Bitwarden", which comes after the folders. Each item's name is its
// title (the host of its first URI when it has none), the first URI is its web link, and
// whatever else it holds (TOTP, further URIs, custom fields, a card's or identity's fields,
// dates) is appended to the comment as options.dropExtra says. An encrypted export is
// refused; so are unknown top-level keys, wrong types and a key twice in one object.
tallykey::TDatabase ImportBitwardenJson(std::string_view text, TextConversion& conversion, const ImportOptions& options,
                                        ImportSummary& summary);

// The export, written in pieces as the database is read (see TextWriter): the start, one
// login item per item (of the folder numbered `folder`, the item numbered `number`
// counting all), and the end with the folders, one per group, which follow the items
// because a group's title is known only as its items are read. Texts are UTF-8. Icons and
// branch states have no place in this form.
void BeginBitwardenJson(std::string& out);
void AppendBitwardenItem(std::string& out, std::size_t folder, std::size_t number, const std::string& title,
                         const std::string& login, const std::string& password, const std::string& weblink,
                         const std::string& notes);
void EndBitwardenJson(std::string& out, const std::vector<std::string>& folders, std::size_t items);

} // namespace tkf
