// The plaintext reader on arbitrary bytes. Whatever it accepts must survive a round
// trip: writing the model and reading it again gives the same model.
#include "database/database_file.h"

#include <cstdlib>
#include <string_view>

namespace {

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
            if (i.Title != j.Title || i.Icon != j.Icon || i.Login != j.Login ||
                i.Password != j.Password || i.WebLink != j.WebLink || i.Comment != j.Comment)
                return false;
        }
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    tallykey::TDatabase db;
    if (!tallykey::ParsePlaintext(text, db))
        return 0;
    // Counts are cut to the fields present, so a model never has more records than the
    // text has fields.
    std::size_t records = db.Groups.size();
    for (const auto& items : db.Items)
        records += items.size();
    if (records > size + 1)
        std::abort();
    tallykey::TDatabase again;
    if (!tallykey::ParsePlaintext(tallykey::BuildPlaintext(db), again) || !Same(db, again))
        std::abort();
    return 0;
}
