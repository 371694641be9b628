// Whether two models hold the same groups and items, field by field: the round-trip
// check of the fuzz targets.
#pragma once

#include <cstddef>

#include "database/model.h"

inline bool SameDatabase(const tallykey::TDatabase& a, const tallykey::TDatabase& b) {
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
