// Comma-separated values as RFC 4180 has them: records end with CRLF (a bare LF or a bare
// CR, as old Mac programs write, is accepted when reading), fields with a comma, a quote
// or a line break are quoted and their quotes doubled.
#pragma once

#include <functional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace tkf {

class CsvError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

using CsvRecord = std::vector<std::string>;

// More fields than this in one record are not a table of logins.
inline constexpr std::size_t MaxCsvFields = 1000;

// How a table is written: the character between fields, and whether a field that begins
// with a quote is quoted (RFC 4180). Without quoting a quote is text like any other, and
// a record ends at the first line break (tab-separated exports that write no quoting).
struct CsvDialect {
    char separator = ',';
    bool quoting = true;
};

// Hands each record to `take` with the line it starts on, one at a time, so that the
// records are never all held at once. Throws CsvError("line N: what") for an unterminated
// quoted field, text after a closing quote or more than MaxCsvFields fields. Empty lines
// are skipped. A leading UTF-8 byte-order mark is skipped.
void ReadCsv(std::string_view text, const std::function<void(const CsvRecord& record, int line)>& take,
             CsvDialect dialect = {});

// One record with every field quoted, ended by CRLF.
void AppendCsvRecord(std::string& out, const CsvRecord& record);

} // namespace tkf
