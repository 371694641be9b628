// Comma-separated values as RFC 4180 has them: records end with CRLF (a bare LF is
// accepted when reading), fields with a comma, a quote or a line break are quoted and
// their quotes doubled.
#pragma once

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

// Throws CsvError("line N: what") for an unterminated quoted field or text after a
// closing quote. Empty lines are skipped. A leading UTF-8 byte-order mark is skipped.
std::vector<CsvRecord> ParseCsv(std::string_view text);

// One record with every field quoted, ended by CRLF.
void AppendCsvRecord(std::string& out, const CsvRecord& record);

} // namespace tkf
