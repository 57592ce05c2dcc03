#include "CsvReader.h"

#include "../FormulaParser.h"
#include "../Reference.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <stdexcept>

namespace workbook {

namespace {

class CsvParser
{
public:
    explicit CsvParser(ImportedData &data)
        : m_data(data)
    {
        m_data.sheets.push_back(ImportedSheet{"data", {}, {}, {}, {}, {}});
        m_data.unsupported.push_back("the CSV format");
    }

    void feed(const char *bytes, size_t size)
    {
        for (size_t i = 0; i < size; ++i)
            take(bytes[i]);
    }

    void finish()
    {
        if (m_atStart && m_markBytes > 0) {
            const int seen = m_markBytes;
            m_markBytes = 0;
            m_atStart = false;
            feed("\xEF\xBB", static_cast<size_t>(seen));
        }
        if (m_state == State::Quoted) {
            // A quote that is never closed would swallow the rest of the file:
            // read it as a character, and what followed it as written.
            note(m_fieldLine, "a quote that is never closed is read as text");
            std::string rest;
            rest.swap(m_quotedBytes);
            m_line = m_fieldLine;
            m_field = "\"";
            m_state = State::Unquoted;
            feed(rest.data(), rest.size());
            finish();
            return;
        }
        if (m_state != State::FieldStart || !m_recordCells.empty() || m_fieldCount > 0)
            endRecord();
        if (m_recordsBelow > 0) {
            noteNotRead(m_data, "lines " + std::to_string(m_firstLineBelow) + " to " + std::to_string(m_lastLineBelow) + " ("
                                    + std::to_string(m_recordsBelow) + " rows) are below the sheet's last row, "
                                    + std::to_string(maxRows) + ", and are not read");
            noteUnsupported(m_data, "rows below the sheet's last row");
        }
    }

private:
    enum class State { FieldStart, Unquoted, Quoted, QuoteInQuoted, AfterQuote };

    void take(char c)
    {
        if (m_skipLineFeed) {
            m_skipLineFeed = false;
            if (c == '\n')
                return;
        }
        if (m_atStart) {
            if (byteOrderMark(c))
                return;
        }
        switch (m_state) {
        case State::Quoted:
            m_quotedBytes += c;
            if (c == '"')
                m_state = State::QuoteInQuoted;
            else
                m_field += lineEnd(c) ? '\n' : c; // a line break inside a field is one LF
            return;
        case State::QuoteInQuoted:
            if (c == '"') {
                m_quotedBytes += c;
                m_field += '"';
                m_state = State::Quoted;
                return;
            }
            m_state = State::AfterQuote;
            afterQuote(c);
            return;
        case State::AfterQuote:
            afterQuote(c);
            return;
        case State::FieldStart:
            if (c == '"') {
                m_state = State::Quoted;
                m_fieldLine = m_line;
                m_quotedBytes.clear();
                return;
            }
            m_state = State::Unquoted;
            [[fallthrough]];
        case State::Unquoted:
            if (c == m_separator)
                endField();
            else if (c == '\r' || c == '\n')
                endLine(c);
            else
                m_field += c;
            return;
        }
    }

    bool lineEnd(char c)
    {
        if (c == '\r')
            m_skipLineFeed = true;
        if (c == '\r' || c == '\n') {
            ++m_line;
            return true;
        }
        return false;
    }

    // The three bytes of a UTF-8 byte-order mark at the start, skipped.
    bool byteOrderMark(char c)
    {
        static const char mark[] = "\xEF\xBB\xBF";
        if (c == mark[m_markBytes]) {
            if (++m_markBytes == 3)
                m_atStart = false;
            return true;
        }
        m_atStart = false;
        const int seen = m_markBytes;
        m_markBytes = 0;
        for (int i = 0; i < seen; ++i)
            take(mark[i]); // not a mark after all: they were text
        return false;
    }

    void afterQuote(char c)
    {
        if (c == m_separator) {
            endField();
        } else if (c == '\r' || c == '\n') {
            endLine(c);
        } else {
            // As the spreadsheet reads `"x"y`: the text after the closing quote is part of the field.
            if (!m_toldAfterQuote)
                note(m_line, "text after a field's closing quote (column " + columnLetters(clampedColumn()) + ") is read as part of the field");
            m_toldAfterQuote = true;
            m_field += c;
            m_state = State::Unquoted;
        }
    }

    void endLine(char c)
    {
        endRecord();
        lineEnd(c);
    }

    int clampedColumn() const { return static_cast<int>(std::min<long long>(m_fieldCount, maxColumns - 1)); }

    void endField()
    {
        if (m_fieldCount >= maxColumns) {
            if (!m_field.empty())
                ++m_fieldsRight;
        } else if (!m_field.empty()) {
            ImportedCell cell;
            cell.column = static_cast<std::int32_t>(m_fieldCount);
            cell.kind = ImportedCell::Kind::Raw;
            cell.text.swap(m_field);
            m_recordCells.push_back(std::move(cell));
        }
        m_field.clear();
        ++m_fieldCount;
        m_state = State::FieldStart;
        m_toldAfterQuote = false;
    }

    void endRecord()
    {
        endField();
        if (m_records == 0 && separatorLine(m_separator)) {
            // not data
        } else if (m_row >= maxRows) {
            if (m_recordsBelow++ == 0)
                m_firstLineBelow = m_recordLine;
            m_lastLineBelow = m_recordLine;
        } else {
            if (m_fieldsRight > 0) {
                note(m_recordLine, std::to_string(m_fieldsRight) + " fields right of column XFD are not read");
                noteUnsupported(m_data, "fields right of column XFD");
            }
            for (ImportedCell &cell : m_recordCells) {
                cell.row = m_row;
                keepUnreadableFormulaAsText(cell);
                m_data.sheets.front().cells.push_back(std::move(cell));
            }
            ++m_row;
        }
        ++m_records;
        m_recordCells.clear();
        m_fieldCount = 0;
        m_fieldsRight = 0;
        m_recordLine = m_line + 1;
    }

    // "sep=;" alone on the first line names the separator ("sep=," comes split in two).
    bool separatorLine(char &separator) const
    {
        if (m_recordCells.size() != 1 || m_recordCells.front().column != 0)
            return false;
        const std::string &text = m_recordCells.front().text;
        if (text.size() == 5 && m_fieldCount == 1 && text.compare(0, 4, "sep=") == 0)
            separator = text[4];
        else if (text == "sep=" && m_fieldCount == 2)
            separator = m_separator;
        else
            return false;
        return true;
    }

    void keepUnreadableFormulaAsText(ImportedCell &cell)
    {
        if (cell.text.size() < 2 || cell.text.front() != '=' || parseFormula(cell.text).ok)
            return;
        cell.kind = ImportedCell::Kind::Text;
        note(m_recordLine, "data!" + cellText({cell.row, cell.column}) + " is not a formula this program reads; it is kept as text");
    }

    void note(long long line, const std::string &what) { noteNotRead(m_data, "line " + std::to_string(line) + ": " + what); }

    ImportedData &m_data;
    State m_state = State::FieldStart;
    char m_separator = ',';
    std::string m_field;
    std::string m_quotedBytes; // as written since a quote opened, should it never close
    std::vector<ImportedCell> m_recordCells;
    long long m_fieldCount = 0;
    long long m_fieldsRight = 0; // non-empty fields past column XFD
    std::int32_t m_row = 0;
    long long m_records = 0, m_recordsBelow = 0, m_firstLineBelow = 0, m_lastLineBelow = 0;
    long long m_line = 1, m_recordLine = 1, m_fieldLine = 1;
    int m_markBytes = 0;
    bool m_atStart = true, m_skipLineFeed = false, m_toldAfterQuote = false;
};

} // namespace

void readCsvFile(const std::string &path, ImportedData &data)
{
    const std::unique_ptr<FILE, int (*)(FILE *)> file(std::fopen(path.c_str(), "rb"), &std::fclose);
    if (!file)
        throw std::runtime_error(std::strerror(errno));
    CsvParser parser(data);
    std::vector<char> buffer(1 << 20);
    size_t n;
    while ((n = std::fread(buffer.data(), 1, buffer.size(), file.get())) > 0)
        parser.feed(buffer.data(), n);
    if (std::ferror(file.get()))
        throw std::runtime_error(std::strerror(errno));
    parser.finish();
}

} // namespace workbook
