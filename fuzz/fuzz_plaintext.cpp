// The plaintext reader on arbitrary bytes. Whatever it accepts must survive a round
// trip: writing the model and reading it again gives the same model.
#include "database/database_file.h"
#include "same_database.h"

#include <cstdlib>
#include <string_view>

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
    if (!tallykey::ParsePlaintext(tallykey::BuildPlaintext(db), again) || !SameDatabase(db, again))
        std::abort();
    return 0;
}
