#include "Reference.h"

#include <cctype>

namespace workbook {

namespace {

bool isLetter(char c)
{
    return std::isalpha(static_cast<unsigned char>(c)) != 0;
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

// Reads "$"? digits as a 1-based row into a 0-based one.
bool readRow(std::string_view text, size_t &i, int &row, bool &absolute)
{
    absolute = i < text.size() && text[i] == '$';
    if (absolute)
        ++i;
    const size_t start = i;
    long long value = 0;
    while (i < text.size() && isDigit(text[i]) && i - start < 8)
        value = value * 10 + (text[i++] - '0');
    if (i == start || (i < text.size() && isDigit(text[i])) || value < 1 || value > maxRows)
        return false;
    row = static_cast<int>(value - 1);
    return true;
}

bool readColumn(std::string_view text, size_t &i, int &column, bool &absolute)
{
    absolute = i < text.size() && text[i] == '$';
    if (absolute)
        ++i;
    const size_t start = i;
    while (i < text.size() && isLetter(text[i]) && i - start < 4)
        ++i;
    column = columnFromLetters(text.substr(start, i - start));
    return column >= 0;
}

} // namespace

int columnFromLetters(std::string_view letters)
{
    if (letters.empty() || letters.size() > 3)
        return -1;
    int column = 0;
    for (char c : letters) {
        if (!isLetter(c))
            return -1;
        column = column * 26 + (std::toupper(static_cast<unsigned char>(c)) - 'A' + 1);
    }
    return column <= maxColumns ? column - 1 : -1;
}

std::string columnLetters(int column)
{
    std::string letters;
    for (int n = column + 1; n > 0; n = (n - 1) / 26)
        letters.insert(letters.begin(), char('A' + (n - 1) % 26));
    return letters;
}

std::optional<CellPosition> parseCellPosition(std::string_view text)
{
    CellPosition position;
    size_t i = 0;
    if (!readColumn(text, i, position.column, position.columnAbsolute)
        || !readRow(text, i, position.row, position.rowAbsolute) || i != text.size())
        return std::nullopt;
    return position;
}

std::optional<RangeReference> parseRangeReference(std::string_view text)
{
    RangeReference range;
    const size_t bang = text.rfind('!');
    if (bang != std::string_view::npos) {
        std::string_view sheet = text.substr(0, bang);
        if (sheet.size() >= 2 && sheet.front() == '\'' && sheet.back() == '\'') {
            std::string name;
            for (size_t i = 1; i + 1 < sheet.size(); ++i) {
                name += sheet[i];
                if (sheet[i] == '\'' && i + 2 < sheet.size() && sheet[i + 1] == '\'')
                    ++i;
            }
            range.sheet = name;
        } else {
            range.sheet = std::string(sheet);
        }
        if (range.sheet.empty())
            return std::nullopt;
        text = text.substr(bang + 1);
    }
    const size_t colon = text.find(':');
    const std::string_view left = text.substr(0, colon);
    const std::string_view right = colon == std::string_view::npos ? left : text.substr(colon + 1);

    if (auto first = parseCellPosition(left)) {
        auto last = parseCellPosition(right);
        if (!last)
            return std::nullopt;
        range.first = *first;
        range.last = *last;
    } else if (colon != std::string_view::npos) {
        // A:C or 3:5
        size_t i = 0, j = 0;
        CellPosition a, b;
        if (readColumn(left, i, a.column, a.columnAbsolute) && i == left.size()
            && readColumn(right, j, b.column, b.columnAbsolute) && j == right.size()) {
            range.wholeColumns = true;
            a.row = 0;
            b.row = maxRows - 1;
        } else if (readRow(left, i = 0, a.row, a.rowAbsolute) && i == left.size()
                   && readRow(right, j = 0, b.row, b.rowAbsolute) && j == right.size()) {
            range.wholeRows = true;
            a.column = 0;
            b.column = maxColumns - 1;
        } else {
            return std::nullopt;
        }
        range.first = a;
        range.last = b;
    } else {
        return std::nullopt;
    }
    // Reversed corners name the same rectangle.
    if (range.first.row > range.last.row)
        std::swap(range.first.row, range.last.row);
    if (range.first.column > range.last.column)
        std::swap(range.first.column, range.last.column);
    return range;
}

std::string cellText(const CellPosition &position)
{
    std::string text;
    if (position.columnAbsolute)
        text += '$';
    text += columnLetters(position.column);
    if (position.rowAbsolute)
        text += '$';
    text += std::to_string(position.row + 1);
    return text;
}

std::string quotedSheetName(std::string_view sheet)
{
    bool plain = !sheet.empty() && !isDigit(sheet.front());
    for (char c : sheet)
        plain = plain && (std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '.');
    if (plain)
        return std::string(sheet);
    std::string quoted = "'";
    for (char c : sheet) {
        quoted += c;
        if (c == '\'')
            quoted += '\'';
    }
    return quoted + "'";
}

std::string rangeText(const RangeReference &range)
{
    std::string text = range.sheet.empty() ? std::string() : quotedSheetName(range.sheet) + "!";
    if (range.wholeColumns) {
        text += (range.first.columnAbsolute ? "$" : "") + columnLetters(range.first.column) + ":"
            + (range.last.columnAbsolute ? "$" : "") + columnLetters(range.last.column);
    } else if (range.wholeRows) {
        text += (range.first.rowAbsolute ? "$" : "") + std::to_string(range.first.row + 1) + ":"
            + (range.last.rowAbsolute ? "$" : "") + std::to_string(range.last.row + 1);
    } else {
        text += cellText(range.first);
        if (!range.isSingleCell())
            text += ":" + cellText(range.last);
    }
    return text;
}

} // namespace workbook
