#pragma once

#include <QList>
#include <QString>

// A rectangle of cells on one sheet, 0-based, as Calc counts them.
struct CalcArea
{
    int sheet = 0;
    int firstRow = 0;
    int firstColumn = 0;
    int lastRow = 0;
    int lastColumn = 0;

    int rows() const { return lastRow - firstRow + 1; }
    int columns() const { return lastColumn - firstColumn + 1; }
};

// Between Calc's absolute cell names and the layer's relative A1 addresses.
namespace CalcAddress {

// "$Sheet1.$B$2" → "B2"; "$Sheet1.$A$1:$B$3" → "A1:B3";
// "Sheet1.B2:B4,Sheet1.C2:C3" → "B2:B4;C2:C3"; `sheet` gets the first
// area's sheet name, unquoted ("$'My Sheet'.$D$5" → "My Sheet").
QString relative(const QString &absoluteName, QString *sheet = nullptr);
// "C5", "B2:D7", "A:C", "3:5"; areas joined with ";".
QString relative(const QList<CalcArea> &areas);
// The areas a relative address names on a sheet ("A1:B2;C3" or "A1,C3");
// empty when any part names nothing.
QList<CalcArea> parse(const QString &address, int sheet);

} // namespace CalcAddress
