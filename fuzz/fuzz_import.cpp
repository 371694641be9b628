// tkf's JSON and CSV importers on arbitrary text (the first byte picks the format).
// Whatever they accept must survive a round trip: exporting the model and importing the
// export again gives the same model.
#include "tools/tkf/exchange.h"
#include "same_database.h"

#include <cstdlib>
#include <string_view>

namespace {

constexpr int CodePage = 1252;


} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0)
        return 0;
    const bool json = (data[0] & 1) != 0;
    const std::string_view text(reinterpret_cast<const char*>(data) + 1, size - 1);
    tallykey::TDatabase db;
    try {
        tkf::TextConversion conversion(CodePage, false);
        db = json ? tkf::ImportJson(text, conversion) : tkf::ImportCsv(text, conversion);
    } catch (const tkf::ImportError&) {
        return 0;
    }
    if (db.Groups.size() != db.Items.size() || db.Groups.size() > tallykey::MaxGroups)
        std::abort();
    const tkf::TextForm form = json ? tkf::TextForm::Json : tkf::TextForm::Csv;
    const std::string exported = tkf::WriteText(db, form, CodePage);
    tallykey::TDatabase again;
    try {
        tkf::TextConversion conversion(CodePage, false);
        again = json ? tkf::ImportJson(exported, conversion) : tkf::ImportCsv(exported, conversion);
    } catch (const tkf::ImportError&) {
        std::abort(); // an export that its own importer refuses
    }
    if (!SameDatabase(db, again))
        std::abort();
    return 0;
}
