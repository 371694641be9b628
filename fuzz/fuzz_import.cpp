// tkf's importers on arbitrary text. The first byte picks the form: bit 0 JSON or CSV,
// bits 1-3 the source (0-6 as --from names them, 7 recognised from the input), bit 4
// --drop-extra. Whatever they accept must be a database the program can hold and survive
// two round trips: through tkf's own JSON and through Bitwarden's JSON (which keeps no
// icons or branch states, so those are compared as an import makes them).
#include "tools/tkf/bitwarden_json.h"
#include "tools/tkf/exchange.h"
#include "tools/tkf/import_presets.h"
#include "same_database.h"

#include <cstdlib>
#include <string_view>

namespace {

constexpr int CodePage = 1252;

tkf::ImportOptions OptionsOf(std::uint8_t selector) {
    static const tkf::Source sources[] = {tkf::Source::Tallykey,    tkf::Source::KeePassXC,
                                          tkf::Source::Bitwarden,   tkf::Source::Chrome,
                                          tkf::Source::Firefox,     tkf::Source::OnePassword,
                                          tkf::Source::PasswordSafe};
    tkf::ImportOptions options;
    const unsigned source = (selector >> 1) & 7;
    if (source < 7)
        options.from = sources[source];
    options.dropExtra = (selector & 0x10) != 0;
    return options;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0)
        return 0;
    const tkf::Format format = (data[0] & 1) != 0 ? tkf::Format::Json : tkf::Format::Csv;
    const std::string_view text(reinterpret_cast<const char*>(data) + 1, size - 1);
    tallykey::TDatabase db;
    tkf::ImportSummary summary;
    try {
        tkf::TextConversion conversion(CodePage, false);
        db = tkf::ImportText(text, format, conversion, OptionsOf(data[0]), summary);
    } catch (const tkf::ImportError&) {
        return 0;
    }
    if (db.Groups.size() != db.Items.size() || db.Groups.size() > tallykey::MaxGroups)
        std::abort();
    (void)summary.Text();

    const std::string json = tkf::WriteText(db, tkf::TextForm::Json, CodePage);
    tallykey::TDatabase again;
    try {
        tkf::TextConversion conversion(CodePage, false);
        again = tkf::ImportJson(json, conversion);
    } catch (const tkf::ImportError&) {
        std::abort(); // an export that its own importer refuses
    }
    if (!SameDatabase(db, again))
        std::abort();

    const std::string bitwarden = tkf::WriteText(db, tkf::TextForm::BitwardenJson, CodePage);
    try {
        tkf::TextConversion conversion(CodePage, false);
        tkf::ImportSummary ignored;
        again = tkf::ImportBitwardenJson(bitwarden, conversion, {}, ignored);
    } catch (const tkf::ImportError&) {
        std::abort();
    }
    for (std::size_t g = 0; g < db.Groups.size(); ++g) {
        db.Groups[g].Icon = tkf::DefaultGroupIcon;
        db.Groups[g].Expanded = true;
        for (tallykey::TItem& item : db.Items[g])
            item.Icon = tkf::DefaultItemIcon;
    }
    if (!SameDatabase(db, again))
        std::abort();
    return 0;
}
