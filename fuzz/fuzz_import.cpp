// tkf's JSON and CSV importers on arbitrary text (the first byte picks the format).
// Whatever they accept must survive a round trip: exporting the model and importing the
// export again gives the same model.
#include "tools/tkf/exchange.h"

#include <cstdlib>
#include <string_view>

namespace {

constexpr int CodePage = 1252;

bool Same(const tallykey::TDatabase& a, const tallykey::TDatabase& b) {
    if (a.Groups.size() != b.Groups.size() || a.Items.size() != b.Items.size())
        return false;
    for (std::size_t g = 0; g < a.Groups.size(); ++g) {
        const auto &x = a.Groups[g], &y = b.Groups[g];
        if (x.Title != y.Title || x.Icon != y.Icon || x.Expanded != y.Expanded ||
            a.Items[g].size() != b.Items[g].size())
            return false;
        for (std::size_t k = 0; k < a.Items[g].size(); ++k) {
            const auto &i = a.Items[g][k], &j = b.Items[g][k];
            if (i.Title != j.Title || i.Icon != j.Icon || i.Login != j.Login || i.Password != j.Password ||
                i.WebLink != j.WebLink || i.Comment != j.Comment)
                return false;
        }
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0)
        return 0;
    const bool json = (data[0] & 1) != 0;
    const std::string_view text(reinterpret_cast<const char*>(data) + 1, size - 1);
    tallykey::TDatabase db;
    try {
        db = json ? tkf::ImportJson(text, CodePage) : tkf::ImportCsv(text, CodePage);
    } catch (const tkf::ImportError&) {
        return 0;
    }
    if (db.Groups.size() != db.Items.size() || db.Groups.size() > tallykey::MaxGroups)
        std::abort();
    const tkf::TextForm form = json ? tkf::TextForm::Json : tkf::TextForm::Csv;
    const std::string exported = tkf::WriteText(db, form, CodePage);
    tallykey::TDatabase again;
    try {
        again = json ? tkf::ImportJson(exported, CodePage) : tkf::ImportCsv(exported, CodePage);
    } catch (const tkf::ImportError&) {
        std::abort(); // an export that its own importer refuses
    }
    if (!Same(db, again))
        std::abort();
    return 0;
}
