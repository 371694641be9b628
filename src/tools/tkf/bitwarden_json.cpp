#include "tools/tkf/bitwarden_json.h"

#include "tools/tkf/json.h"

#include <algorithm>
#include <cstdio>
#include <map>
#include <numeric>
#include <set>

namespace tkf {

using tallykey::TDatabase;
using Kind = JsonReader::Kind;

namespace {

// More keys than this in one object, or fields appended from one item, are not a login.
constexpr std::size_t MaxMembers = 1000;
// Deeper than this, a value is not an entry's data.
constexpr int MaxDepth = 16;

const char* const kTopKeys[] = {"encrypted", "passwordProtected", "folders", "collections", "items"};

using Extras = std::vector<std::pair<std::string, std::string>>;

// Reads an object's keys, refusing one given twice and more than MaxMembers.
class Members {
public:
    Members(JsonReader& json, std::string where) : json_(json), where_(std::move(where)) { json_.BeginObject(); }
    bool Next(std::string& key) {
        if (!json_.NextKey(key))
            return false;
        if (!seen_.insert(key).second)
            json_.Fail(where_ + ": a second \"" + key + "\"");
        if (seen_.size() > MaxMembers)
            json_.Fail(where_ + ": more than " + std::to_string(MaxMembers) + " keys");
        return true;
    }

private:
    JsonReader& json_;
    std::string where_;
    std::set<std::string> seen_;
};

void Need(JsonReader& json, Kind kind, const std::string& where) {
    if (json.Peek() != kind) {
        static const char* const names[] = {"null",     "true or false", "a number", "a string",
                                            "an array", "an object",     "a value"};
        json.Fail(where + ": expected " + names[static_cast<int>(kind)]);
    }
}

// Whether a value that may be null is there; a null is read.
bool Present(JsonReader& json) {
    if (json.Peek() != Kind::Null)
        return true;
    json.Null();
    return false;
}

// A string, or "" for null.
std::string Text(JsonReader& json, const std::string& where) {
    if (!Present(json))
        return {};
    Need(json, Kind::String, where);
    return json.String();
}

void Add(JsonReader& json, Extras& extras, std::string name, std::string value, const std::string& where) {
    if (value.empty())
        return;
    if (extras.size() == MaxMembers)
        json.Fail(where + ": more than " + std::to_string(MaxMembers) + " fields");
    extras.emplace_back(std::move(name), std::move(value));
}

// Any value, flattened to "name: value" extras: an object's members under "name.key", an
// array's elements under its name; null, false and empty texts hold nothing.
void Flatten(JsonReader& json, const std::string& name, Extras& extras, const std::string& where, int depth = 0) {
    if (depth > MaxDepth)
        json.Fail(where + ": nested more than " + std::to_string(MaxDepth) + " levels");
    switch (json.Peek()) {
    case Kind::Null: json.Null(); break;
    case Kind::Bool:
        if (json.Bool())
            Add(json, extras, name, "yes", where);
        break;
    case Kind::Number: Add(json, extras, name, json.Number(), where); break;
    case Kind::String: Add(json, extras, name, json.String(), where); break;
    case Kind::Array:
        json.BeginArray();
        for (std::size_t n = 0; json.NextElement(); ++n)
            Flatten(json, name, extras, where + "[" + std::to_string(n) + "]", depth + 1);
        break;
    case Kind::Object: {
        Members members(json, where);
        std::string key;
        while (members.Next(key))
            Flatten(json, name + "." + key, extras, where + "." + key, depth + 1);
        break;
    }
    case Kind::End: json.Fail(where + ": expected a value");
    }
}

void Refuse(const std::string& why) {
    throw ImportError("an encrypted Bitwarden export (" + why +
                      "): tkf cannot decrypt it; export the vault again choosing the format .json, not "
                      ".json (Encrypted)");
}

// The groups of folders and collections by their id, made as soon as an item or the
// folder itself names them, and ordered at the end as the document lists the folders.
class Folders {
public:
    explicit Folders(EntryBuilder& builder) : builder_(builder) {}
    std::size_t Of(const std::string& id, const std::string& where) {
        const auto found = byId_.find(id);
        if (found != byId_.end())
            return found->second;
        const std::size_t group = builder_.NewGroup("", where);
        byId_.emplace(id, group);
        return group;
    }
    void Named(const std::string& id, const std::string& name, const std::string& where) {
        const std::size_t group = Of(id, where);
        if (listed_.size() <= group)
            listed_.resize(group + 1, 0);
        if (listed_[group] != 0)
            throw ImportError(where + ": a second folder with the id \"" + id + "\"");
        listed_[group] = ++count_;
        builder_.Retitle(group, name, where);
    }
    // Folders first, as listed; then the other groups as they appeared. A folder that
    // items name but the document does not list is titled like the items without one.
    void Order() {
        TDatabase& db = builder_.Database();
        std::vector<std::size_t> order(db.Groups.size());
        std::iota(order.begin(), order.end(), std::size_t(0));
        listed_.resize(db.Groups.size(), 0);
        for (const auto& [id, group] : byId_)
            if (listed_[group] == 0)
                builder_.Retitle(group, SourceTitle(Source::Bitwarden), "folder \"" + id + "\"");
        const auto rank = [this](std::size_t g) { return listed_[g] != 0 ? listed_[g] : count_ + 1; };
        std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) { return rank(a) < rank(b); });
        TDatabase sorted;
        for (const std::size_t g : order) {
            sorted.Groups.push_back(std::move(db.Groups[g]));
            sorted.Items.push_back(std::move(db.Items[g]));
        }
        db = std::move(sorted);
    }

private:
    EntryBuilder& builder_;
    std::map<std::string, std::size_t> byId_;
    std::vector<std::size_t> listed_; // per group: its place in the folder lists, 0 for none
    std::size_t count_ = 0;
};

void ReadFolders(JsonReader& json, Folders& folders, const std::string& list) {
    Need(json, Kind::Array, list);
    json.BeginArray();
    for (std::size_t n = 0; json.NextElement(); ++n) {
        const std::string where = list + "[" + std::to_string(n) + "]";
        Need(json, Kind::Object, where);
        Members members(json, where);
        std::string key, id, name;
        bool hasId = false;
        while (members.Next(key)) {
            if (key == "id") {
                Need(json, Kind::String, where + ".id");
                id = json.String();
                hasId = true;
            } else if (key == "name") {
                name = Text(json, where + ".name");
            } else {
                Extras ignored; // an organisation's references: nothing of the user's
                Flatten(json, key, ignored, where + "." + key);
            }
        }
        if (!hasId)
            json.Fail(where + ": no \"id\"");
        folders.Named(id, name, where + " (name)");
    }
}

void ReadLogin(JsonReader& json, ForeignEntry& entry, const std::string& where) {
    Need(json, Kind::Object, where);
    Members members(json, where);
    std::string key;
    bool firstUri = true;
    while (members.Next(key)) {
        const std::string at = where + "." + key;
        if (key == "username") {
            entry.login = Text(json, at);
        } else if (key == "password") {
            entry.password = Text(json, at);
        } else if (key == "totp") {
            Add(json, entry.extras, "TOTP", Text(json, at), at);
        } else if (key == "uris" && Present(json)) {
            Need(json, Kind::Array, at);
            json.BeginArray();
            for (std::size_t n = 0; json.NextElement(); ++n) {
                const std::string uw = at + "[" + std::to_string(n) + "]";
                Need(json, Kind::Object, uw);
                Members uri(json, uw);
                std::string uk;
                while (uri.Next(uk)) {
                    if (uk == "uri" && firstUri) {
                        entry.url = Text(json, uw + ".uri");
                        firstUri = false;
                    } else {
                        Flatten(json,
                                uk == "uri"     ? "URI"
                                : uk == "match" ? "URI match"
                                                : "login.uris." + uk,
                                entry.extras, uw + "." + uk);
                    }
                }
            }
        } else if (key != "uris") {
            Flatten(json, "login." + key, entry.extras, at);
        }
    }
}

void ReadFields(JsonReader& json, ForeignEntry& entry, const std::string& where) {
    Need(json, Kind::Array, where);
    json.BeginArray();
    for (std::size_t n = 0; json.NextElement(); ++n) {
        const std::string fw = where + "[" + std::to_string(n) + "]";
        Need(json, Kind::Object, fw);
        Members members(json, fw);
        std::string key, name, value;
        Extras rest;
        while (members.Next(key)) {
            if (key == "name")
                name = Text(json, fw + ".name");
            else if (key == "value")
                value = Text(json, fw + ".value");
            else if (key == "type" || key == "linkedId") // how Bitwarden shows it, or where it points
                Flatten(json, key, rest, fw + "." + key);
            else
                Flatten(json, "fields." + key, entry.extras, fw + "." + key);
        }
        Add(json, entry.extras, name.empty() ? "Custom field" : name, std::move(value), fw);
    }
}

} // namespace

bool LooksLikeBitwardenJson(std::string_view text) {
    try {
        JsonReader json(text);
        if (json.Peek() != Kind::Object)
            return false;
        json.BeginObject();
        std::string key;
        if (!json.NextKey(key))
            return false;
        return std::find(std::begin(kTopKeys), std::end(kTopKeys), key) != std::end(kTopKeys);
    } catch (const JsonError&) {
        return false;
    }
}

TDatabase ImportBitwardenJson(std::string_view text, TextConversion& conversion, const ImportOptions& options,
                              ImportSummary& summary) {
    CheckUtf8(text);
    EntryBuilder builder(Source::Bitwarden, conversion, options, summary);
    Folders folders(builder);
    try {
        JsonReader json(text);
        Need(json, Kind::Object, "the document");
        Members top(json, "the document");
        std::string key;
        bool sawItems = false;
        while (top.Next(key)) {
            if (key == "encrypted" || key == "passwordProtected") {
                Need(json, Kind::Bool, key);
                if (json.Bool())
                    Refuse("\"" + key + "\": true");
            } else if (key == "encKeyValidation_DO_NOT_EDIT" || key == "data" || key == "salt") {
                Refuse("\"" + key + "\"");
            } else if (key == "folders" || key == "collections") {
                ReadFolders(json, folders, key);
            } else if (key == "items") {
                sawItems = true;
                Need(json, Kind::Array, key);
                json.BeginArray();
                for (std::size_t n = 0; json.NextElement(); ++n) {
                    const std::string where = "items[" + std::to_string(n) + "]";
                    Need(json, Kind::Object, where);
                    Members members(json, where);
                    ForeignEntry entry;
                    entry.names = {"folderId", "name", "login.username", "login.password", "login.uris", "notes"};
                    std::string folderId, collectionId, ik;
                    while (members.Next(ik)) {
                        const std::string at = where + "." + ik;
                        if (ik == "name") {
                            entry.title = Text(json, at);
                        } else if (ik == "notes") {
                            entry.notes = Text(json, at);
                        } else if (ik == "folderId") {
                            folderId = Text(json, at);
                        } else if (ik == "collectionIds" && Present(json)) {
                            Need(json, Kind::Array, at);
                            json.BeginArray();
                            for (std::size_t c = 0; json.NextElement(); ++c) {
                                const std::string id = Text(json, at + "[" + std::to_string(c) + "]");
                                if (collectionId.empty())
                                    collectionId = id;
                                else
                                    summary.Dropped("further collections");
                            }
                        } else if (ik == "login" && Present(json)) {
                            ReadLogin(json, entry, at);
                        } else if (ik == "fields" && Present(json)) {
                            ReadFields(json, entry, at);
                        } else if (ik == "type" || ik == "secureNote") { // the kind: every kind is an item
                            Extras kind;
                            Flatten(json, ik, kind, at);
                        } else if (ik == "id" || ik == "organizationId") {
                            if (!Text(json, at).empty())
                                summary.Dropped(ik); // Bitwarden's own references
                        } else if (ik == "favorite") {
                            Need(json, Kind::Bool, at);
                            if (json.Bool())
                                Add(json, entry.extras, "Favorite", "yes", at);
                        } else if (ik == "reprompt") {
                            Need(json, Kind::Number, at);
                            if (const std::string value = json.Number(); value != "0")
                                Add(json, entry.extras, "Reprompt", value, at);
                        } else if (ik != "collectionIds" && ik != "login" && ik != "fields") {
                            Flatten(json, ik, entry.extras, at);
                        }
                    }
                    const std::string& folder = folderId.empty() ? collectionId : folderId;
                    if (folder.empty())
                        builder.Add(entry, where);
                    else
                        builder.Add(entry, folders.Of(folder, where + " (folderId)"), where);
                }
            } else {
                json.Fail("unknown key \"" + key + "\" (expected \"encrypted\", \"folders\" or \"items\")");
            }
        }
        if (!sawItems)
            throw ImportError("the document has no \"items\" array");
        json.End();
    } catch (const JsonError& e) {
        throw ImportError(e.what());
    }
    folders.Order();
    return builder.Finish();
}

namespace {

// Ids that Bitwarden's form wants, the same for the same database: the number in the
// last part of a UUID.
std::string Id(const char* kind, std::size_t number) {
    char id[64];
    std::snprintf(id, sizeof id, "%s-0000-4000-8000-%012zx", kind, number);
    return id;
}

void Member(std::string& out, const char* indent, const char* name, const std::string& text, bool last = false) {
    out += indent;
    out += '"';
    out += name;
    out += "\": ";
    AppendJsonString(out, text);
    out += last ? "\n" : ",\n";
}

} // namespace

void BeginBitwardenJson(std::string& out) { out += "{\n  \"encrypted\": false,\n  \"items\": ["; }

void AppendBitwardenItem(std::string& out, std::size_t folder, std::size_t number, const std::string& title,
                         const std::string& login, const std::string& password, const std::string& weblink,
                         const std::string& notes) {
    out += number == 0 ? "\n    {\n" : ",\n    {\n";
    Member(out, "      ", "id", Id("7a11e701", number));
    out += "      \"organizationId\": null,\n";
    Member(out, "      ", "folderId", Id("7a11e700", folder));
    out += "      \"type\": 1,\n      \"reprompt\": 0,\n";
    Member(out, "      ", "name", title);
    if (notes.empty())
        out += "      \"notes\": null,\n";
    else
        Member(out, "      ", "notes", notes);
    out += "      \"favorite\": false,\n      \"login\": {\n        \"uris\": [";
    if (!weblink.empty()) {
        out += "\n          {\n            \"match\": null,\n";
        Member(out, "            ", "uri", weblink, true);
        out += "          }\n        ";
    }
    out += "],\n";
    Member(out, "        ", "username", login);
    Member(out, "        ", "password", password);
    out += "        \"totp\": null\n      },\n      \"collectionIds\": null\n    }";
}

void EndBitwardenJson(std::string& out, const std::vector<std::string>& folders, std::size_t items) {
    out += items == 0 ? "],\n  \"folders\": [" : "\n  ],\n  \"folders\": [";
    for (std::size_t f = 0; f < folders.size(); ++f) {
        out += f == 0 ? "\n    {\n" : ",\n    {\n";
        Member(out, "      ", "id", Id("7a11e700", f));
        Member(out, "      ", "name", folders[f], true);
        out += "    }";
    }
    out += folders.empty() ? "]\n}\n" : "\n  ]\n}\n";
}

} // namespace tkf
