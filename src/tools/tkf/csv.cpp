#include "tools/tkf/csv.h"

namespace tkf {

void ReadCsv(std::string_view text, const std::function<void(const CsvRecord& record, int line)>& take,
             CsvDialect dialect) {
    std::size_t pos = text.substr(0, 3) == "\xEF\xBB\xBF" ? 3 : 0;
    int line = 1;
    int recordLine = 1;
    const auto fail = [&line](const std::string& what) {
        throw CsvError("line " + std::to_string(line) + ": " + what);
    };
    CsvRecord record;
    std::string field;
    bool fieldStarted = false; // the current field has text or was quoted
    const auto endField = [&] {
        if (record.size() == MaxCsvFields)
            fail("more than " + std::to_string(MaxCsvFields) + " fields");
        record.push_back(std::move(field));
        field.clear();
        fieldStarted = false;
    };
    const auto endRecord = [&] {
        // An empty line holds no record, but ",," or "\"\"" do.
        if (fieldStarted || !record.empty()) {
            endField();
            take(record, recordLine);
        }
        record.clear();
        field.clear();
        fieldStarted = false;
    };
    // The length of the line break at `at`: CR LF, LF or CR alone; 0 for none.
    const auto lineBreak = [&text](std::size_t at) -> std::size_t {
        if (at >= text.size())
            return 0;
        if (text[at] == '\r')
            return at + 1 < text.size() && text[at + 1] == '\n' ? 2 : 1;
        return text[at] == '\n' ? 1 : 0;
    };
    while (pos < text.size()) {
        if (record.empty() && !fieldStarted)
            recordLine = line;
        const char c = text[pos];
        if (c == '"' && !fieldStarted && dialect.quoting) {
            fieldStarted = true;
            const int startLine = line;
            ++pos;
            for (;;) {
                if (pos >= text.size()) {
                    line = startLine;
                    fail("quoted field without its closing quote");
                }
                if (const std::size_t n = lineBreak(pos)) {
                    field.append(text.substr(pos, n));
                    pos += n;
                    ++line;
                    continue;
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
                field.push_back(q);
            }
            if (pos < text.size() && text[pos] != dialect.separator && lineBreak(pos) == 0)
                fail("text after a closing quote");
            continue;
        }
        if (c == dialect.separator) {
            endField();
            ++pos;
            continue;
        }
        if (const std::size_t n = lineBreak(pos)) {
            endRecord();
            pos += n;
            ++line;
            continue;
        }
        field.push_back(c);
        fieldStarted = true;
        ++pos;
    }
    endRecord();
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
