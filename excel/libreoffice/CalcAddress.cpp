#include "CalcAddress.h"

#include "ExcelAddressBlock.h"

#include <QRegularExpression>

namespace {

constexpr int lastRow = ExcelAddressBlock::maxRow - 1;
constexpr int lastColumn = ExcelAddressBlock::maxColumn - 1;

// Splits at `separator` where it is not inside a quoted sheet name.
QStringList splitOutsideQuotes(const QString &text, QChar separator)
{
    QStringList parts;
    QString part;
    bool quoted = false;
    for (const QChar c : text) {
        if (c == QLatin1Char('\''))
            quoted = !quoted;
        if (c == separator && !quoted) {
            parts << part;
            part.clear();
        } else {
            part += c;
        }
    }
    parts << part;
    return parts;
}

// The position of the "." that ends a sheet name, or -1.
qsizetype sheetEnd(const QString &reference)
{
    bool quoted = false;
    qsizetype end = -1;
    for (qsizetype i = 0; i < reference.size(); ++i) {
        if (reference[i] == QLatin1Char('\''))
            quoted = !quoted;
        else if (reference[i] == QLatin1Char('.') && !quoted)
            end = i;
    }
    return end;
}

QString unquotedSheet(QString name)
{
    if (name.startsWith(QLatin1Char('$')))
        name.remove(0, 1);
    if (name.size() >= 2 && name.startsWith(QLatin1Char('\'')) && name.endsWith(QLatin1Char('\'')))
        name = name.mid(1, name.size() - 2).replace(QStringLiteral("''"), QStringLiteral("'"));
    return name;
}

} // namespace

namespace CalcAddress {

QString relative(const QString &absoluteName, QString *sheet)
{
    QStringList areas;
    bool first = true;
    for (const QString &area : splitOutsideQuotes(absoluteName.trimmed(), QLatin1Char(','))) {
        QStringList ends;
        for (const QString &end : splitOutsideQuotes(area, QLatin1Char(':'))) {
            const qsizetype dot = sheetEnd(end);
            if (first && sheet && dot >= 0)
                *sheet = unquotedSheet(end.left(dot));
            first = false;
            ends << end.mid(dot + 1).remove(QLatin1Char('$'));
        }
        areas << ends.join(QLatin1Char(':'));
    }
    return areas.join(QLatin1Char(';'));
}

QString relative(const QList<CalcArea> &areas)
{
    QStringList parts;
    for (const CalcArea &area : areas) {
        const bool allRows = area.firstRow == 0 && area.lastRow == lastRow;
        const bool allColumns = area.firstColumn == 0 && area.lastColumn == lastColumn;
        const QString first = ExcelAddressBlock::cellName(area.firstRow + 1, area.firstColumn + 1);
        const QString last = ExcelAddressBlock::cellName(area.lastRow + 1, area.lastColumn + 1);
        if (allRows && !allColumns)
            parts << ExcelAddressBlock::columnName(area.firstColumn + 1) + QLatin1Char(':')
                         + ExcelAddressBlock::columnName(area.lastColumn + 1);
        else if (allColumns && !allRows)
            parts << QStringLiteral("%1:%2").arg(area.firstRow + 1).arg(area.lastRow + 1);
        else if (area.rows() == 1 && area.columns() == 1)
            parts << first;
        else
            parts << first + QLatin1Char(':') + last;
    }
    return parts.join(QLatin1Char(';'));
}

QList<CalcArea> parse(const QString &address, int sheet)
{
    static const QRegularExpression pattern(QStringLiteral("^([A-Za-z]*)(\\d*)(?::([A-Za-z]*)(\\d*))?$"));
    QList<CalcArea> areas;
    for (const QString &part : address.split(QRegularExpression(QStringLiteral("[;,]")))) {
        const QRegularExpressionMatch match = pattern.match(part.trimmed());
        if (!match.hasMatch() || (match.captured(1).isEmpty() && match.captured(2).isEmpty()))
            return {};
        const ExcelCell start = ExcelAddressBlock::parseCell(match.captured(1) + match.captured(2));
        ExcelCell end = ExcelAddressBlock::parseCell(match.captured(3) + match.captured(4));
        if (!match.hasCaptured(3) && !match.hasCaptured(4))
            end = start;
        // A row alone spans every column; a column alone every row.
        const bool wholeRows = start.column == 0 && end.column == 0;
        const bool wholeColumns = start.row == 0 && end.row == 0;
        if (!start.valid || !end.valid || (start.column == 0) != (end.column == 0) || (start.row == 0) != (end.row == 0)
            || (wholeRows && wholeColumns))
            return {};
        CalcArea area{sheet,
                      wholeColumns ? 0 : start.row - 1,
                      wholeRows ? 0 : start.column - 1,
                      wholeColumns ? lastRow : end.row - 1,
                      wholeRows ? lastColumn : end.column - 1};
        if (area.lastRow < area.firstRow || area.lastColumn < area.firstColumn)
            return {};
        areas << area;
    }
    return areas;
}

} // namespace CalcAddress
