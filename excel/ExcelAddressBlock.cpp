#include "ExcelAddressBlock.h"
#include "ExcelLogging.h"

#include <QDebug>
#include <QRegularExpression>

ExcelAddressBlock::ExcelAddressBlock(const QString &address, bool iterateCells)
{
    if (!address.isEmpty())
        setAddress(address, iterateCells);
}

ExcelAddressBlock::~ExcelAddressBlock()
{
    deleteChildren();
}

bool ExcelAddressBlock::isSingleCell() const
{
    return m_simple && m_valid && !m_wholeRows && !m_wholeColumns && m_startRow == m_endRow
        && m_startColumn == m_endColumn;
}

void ExcelAddressBlock::setAddress(const QString &address, bool iterateCells)
{
    int cellBudget = maxIteratedCells;
    setAddress(address, iterateCells, cellBudget);
}

void ExcelAddressBlock::setAddress(const QString &address, bool iterateCells, int &cellBudget)
{
    if (address == m_address)
        return;
    m_address = address;
    parse(iterateCells, cellBudget);
}

void ExcelAddressBlock::rangeIteration(ExcelAddressBlock *block)
{
    emit rangeIterated(block);
}

void ExcelAddressBlock::parse(bool iterateCells, int &cellBudget)
{
    deleteChildren();
    m_simple = false;
    const QStringList parts = m_address.split(QLatin1Char(';'), Qt::KeepEmptyParts);
    if (parts.size() == 1)
        parseSimple(iterateCells, cellBudget);
    else
        parseParts(parts, iterateCells, cellBudget);
    emit rangeIterated(this);
}

void ExcelAddressBlock::parseSimple(bool iterateCells, int &cellBudget)
{
    static const QRegularExpression pattern(QStringLiteral("^([A-Z]*)([0-9]*):?([A-Z]*)([0-9]*)$"));
    m_simple = true;
    const QRegularExpressionMatch match = pattern.match(m_address);
    // Text the pattern does not take counts as four empty groups.
    const ExcelCell start = parseCell(match.captured(1) + match.captured(2));
    ExcelCell end = parseCell(match.captured(3) + match.captured(4));
    if (end.row == 0 && end.column == 0 && end.valid)
        end = start;

    m_startRow = start.row;
    m_startColumn = start.column;
    m_endRow = end.row;
    m_endColumn = end.column;
    m_valid = start.valid && end.valid && m_endRow >= m_startRow && m_endColumn >= m_startColumn;
    if (!m_valid)
        qCDebug(lcExcel) << "Invalid address:" << m_address;
    m_wholeRows = m_startColumn == 0;
    m_wholeColumns = m_startRow == 0;

    if (iterateCells && m_valid && !m_wholeRows && !m_wholeColumns && !isSingleCell())
        iterateRectangle(cellBudget);
}

void ExcelAddressBlock::iterateRectangle(int &cellBudget)
{
    for (int row = m_startRow; row <= m_endRow; ++row) {
        for (int column = m_startColumn; column <= m_endColumn; ++column) {
            if (cellBudget <= 0) {
                if (cellBudget == 0) // say it once for the whole address
                    qCDebug(lcExcel) << "Too many cells, iteration stopped after" << maxIteratedCells << "cells";
                cellBudget = -1;
                return;
            }
            --cellBudget;
            adopt(makeChild(cellName(row, column), false, cellBudget));
        }
    }
}

void ExcelAddressBlock::parseParts(const QStringList &parts, bool iterateCells, int &cellBudget)
{
    m_valid = true;
    for (const QString &part : parts) {
        if (!adopt(makeChild(part, iterateCells, cellBudget)))
            qCDebug(lcExcel) << "Invalid block" << part;
    }
}

ExcelAddressBlock *ExcelAddressBlock::makeChild(const QString &address, bool iterateCells, int &cellBudget)
{
    auto *child = new ExcelAddressBlock;
    connect(child, &ExcelAddressBlock::rangeIterated, this, &ExcelAddressBlock::rangeIteration);
    child->setAddress(address, iterateCells, cellBudget);
    return child;
}

bool ExcelAddressBlock::adopt(ExcelAddressBlock *child)
{
    if (m_valid && child->isValid()) {
        m_children.append(child);
        return true;
    }
    m_valid = false;
    delete child;
    return false;
}

void ExcelAddressBlock::deleteChildren()
{
    qDeleteAll(m_children);
    m_children.clear();
}

QString ExcelAddressBlock::columnName(int column)
{
    if (column < 0)
        return QString();
    if (column < 27)
        return QString(QChar(64 + column));
    return columnName((column - 1) / 26) + QChar(QLatin1Char('A').unicode() + (column - 1) % 26);
}

QString ExcelAddressBlock::cellName(int row, int column)
{
    return columnName(column) + QString::number(row);
}

ExcelCell ExcelAddressBlock::parseCell(const QString &text)
{
    const QString upper = text.toUpper();
    qsizetype i = 0;
    qint64 column = 0;
    for (; i < upper.size() && upper.at(i) >= QLatin1Char('A') && upper.at(i) <= QLatin1Char('Z'); ++i) {
        // Stop accumulating past the last column so no letter count overflows.
        if (column <= maxColumn)
            column = column * 26 + (upper.at(i).unicode() - 'A' + 1);
    }

    // Only plain digits make a row number; anything else is no number (row 0).
    const qsizetype rowStart = i;
    qint64 row = 0;
    for (; i < upper.size() && upper.at(i) >= QLatin1Char('0') && upper.at(i) <= QLatin1Char('9'); ++i) {
        if (row <= maxRow)
            row = row * 10 + (upper.at(i).unicode() - '0');
    }
    if (i != upper.size() || i == rowStart)
        row = 0;

    if (column > maxColumn || row > maxRow)
        return ExcelCell{0, 0, false};
    return ExcelCell{static_cast<int>(row), static_cast<int>(column), true};
}
