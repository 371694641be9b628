#include "tools/tkf/csv.h"

namespace tkf {

std::vector<CsvRecord> ParseCsv(std::string_view text) {
    std::vector<CsvRecord> records;
    std::size_t pos = text.substr(0, 3) == "\xEF\xBB\xBF" ? 3 : 0;
    int line = 1;
    const auto fail = [&line](const std::string& what) {
        throw CsvError("line " + std::to_string(line) + ": " + what);
    };
    CsvRecord record;
    std::string field;
    bool fieldStarted = false; // the current field has text or was quoted
    const auto endRecord = [&] {
        // An empty line holds no record, but ",," or "\"\"" do.
        if (fieldStarted || !record.empty()) {
            record.push_back(std::move(field));
            records.push_back(std::move(record));
        }
        record.clear();
        field.clear();
        fieldStarted = false;
    };
    while (pos < text.size()) {
        const char c = text[pos];
        if (c == '"' && !fieldStarted) {
            fieldStarted = true;
            const int startLine = line;
            ++pos;
            for (;;) {
                if (pos >= text.size()) {
                    line = startLine;
                    fail("quoted field without its closing quote");
                }
                const char q = text[pos++];
                if (q == '"') {
                    if (pos < text.size() && text[pos] == '"') {
                        field.push_back('"');
                        ++pos;
                        continue;
                    }
                    break;
                }
                if (q == '\n')
                    ++line;
                field.push_back(q);
            }
            if (pos < text.size() && text[pos] != ',' && text[pos] != '\r' && text[pos] != '\n')
                fail("text after a closing quote");
            continue;
        }
        if (c == ',') {
            record.push_back(std::move(field));
            field.clear();
            fieldStarted = false;
            ++pos;
            continue;
        }
        if (c == '\r' && pos + 1 < text.size() && text[pos + 1] == '\n') {
            endRecord();
            pos += 2;
            ++line;
            continue;
        }
        if (c == '\n') {
            endRecord();
            ++pos;
            ++line;
            continue;
        }
        field.push_back(c);
        fieldStarted = true;
        ++pos;
    }
    endRecord();
    return records;
}

void AppendCsvRecord(std::string& out, const CsvRecord& record) {
    for (std::size_t i = 0; i < record.size(); ++i) {
        if (i != 0)
            out.push_back(',');
        out.push_back('"');
        for (const char c : record[i]) {
            if (c == '"')
                out.push_back('"');
            out.push_back(c);
        }
        out.push_back('"');
    }
    out += "\r\n";
}

} // namespace tkf
