#pragma once

#include "Workbook.h"

#include <QTest>

#include <algorithm>
#include <cmath>
#include <initializer_list>

// A workbook of named columns of data that formulas are evaluated against,
// for the suites that check the spreadsheet functions family by family.
class FunctionSheet
{
public:
    FunctionSheet() { m_sheet = m_book.addSheet("Data"); }

    // Fills a column from row 1 down; each entry a number, text or boolean.
    void column(int column, std::initializer_list<workbook::Value> values)
    {
        int row = 0;
        for (const workbook::Value &v : values)
            m_book.setValue({m_sheet, row++, column}, v);
    }

    void formula(int row, int column, const std::string &text) { m_book.setFormula({m_sheet, row, column}, text); }
    void addSheet(const std::string &name) { m_book.addSheet(name); }

    std::string evaluate(const std::string &formula)
    {
        std::string message;
        if (!m_book.setFormula({m_sheet, 999, 25}, formula, &message))
            return "parse error: " + message;
        return workbook::displayText(m_book.value({m_sheet, 999, 25}));
    }

private:
    workbook::Workbook m_book;
    workbook::SheetIndex m_sheet;
};

inline workbook::Value n(double x) { return workbook::Value::number(x); }
inline workbook::Value t(const char *text) { return workbook::Value::text(text); }

// Adds the rows of a data-driven test: a formula and what it shows.
inline void addFormulaRows(std::initializer_list<std::pair<const char *, const char *>> cases)
{
    QTest::addColumn<QString>("formula");
    QTest::addColumn<QString>("expected");
    for (const auto &[formula, expected] : cases)
        QTest::newRow(formula) << QString::fromUtf8(formula) << QString::fromUtf8(expected);
}

// Numbers agree to `tolerance` relative (the reference values carry more
// digits than a cell shows); anything else must match exactly.
inline void compareFormulaResult(const QString &actual, const QString &expected, double tolerance = 1e-9)
{
    bool actualIsNumber = false, expectedIsNumber = false;
    const double a = actual.toDouble(&actualIsNumber), e = expected.toDouble(&expectedIsNumber);
    if (actualIsNumber && expectedIsNumber)
        QVERIFY2(std::abs(a - e) <= tolerance * std::max(1e-300, std::abs(e)) || a == e, qPrintable(actual + " vs " + expected));
    else
        QCOMPARE(actual, expected);
}
