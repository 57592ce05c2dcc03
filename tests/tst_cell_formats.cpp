#include "Workbook.h"
#include "format/ShownValue.h"
#include "io/BuildWorkbook.h"
#include "io/WorkbookFiles.h"

#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <sstream>

using namespace workbook;

// Cell formats read from files, kept on the workbook and written back: every
// look a cell has must survive opening and saving.
class TestCellFormats : public QObject
{
    Q_OBJECT
private slots:
    void stylesAreSharedNotCopied();
    void readsXlsxFormats();
    void xlsxFormatsSurviveASave();
    void openDocumentFormatsSurviveASaveAsXlsx();
    void reportsFormatsItCannotKeep();
    void hugeFormattedAreasAreBounded();
};

namespace {

CellLocation at(SheetIndex sheet, const char *cell)
{
    const auto a = parseCellPosition(cell);
    return {sheet, a->row, a->column};
}

const CellStyle &styleOf(const Workbook &book, const CellLocation &where)
{
    return book.formats().style(book.formats().styleAt(where.sheet, where.row, where.column));
}

std::string text(Workbook &book, const CellLocation &where, int width = 0)
{
    return book.shown(where, width).text;
}

std::string describe(const BorderSide &side)
{
    return std::to_string(static_cast<int>(side.line)) + "/" + std::to_string(side.colour);
}

// Every look of every cell in a block, one line a cell, for comparing workbooks.
std::string looks(Workbook &book, SheetIndex sheet, int rows, int columns)
{
    std::ostringstream out;
    for (int r = 0; r < rows; ++r)
        for (int c = 0; c < columns; ++c) {
            const CellLocation where{sheet, r, c};
            const CellStyle &s = styleOf(book, where);
            out << cellText({r, c}) << " [" << text(book, where) << "] " << s.numberFormat << " " << s.fontName << " "
                << s.fontSize << (s.bold ? " bold" : "") << (s.italic ? " italic" : "") << (s.underline ? " underline" : "")
                << (s.strikeout ? " strikeout" : "") << (s.wrap ? " wrap" : "") << " font " << s.fontColour << " fill "
                << s.fill << " align " << static_cast<int>(s.alignment) << "/" << static_cast<int>(s.vertical) << " borders "
                << describe(s.left) << " " << describe(s.right) << " " << describe(s.top) << " " << describe(s.bottom) << "\n";
        }
    for (const auto &[row, height] : book.formats().rowHeights(sheet))
        out << "row " << row << " " << height << "\n";
    for (const MergedArea &a : book.formats().mergedAreas(sheet))
        out << "merged " << a.firstRow << "," << a.firstColumn << ":" << a.lastRow << "," << a.lastColumn << "\n";
    return out.str();
}

std::string joined(const std::vector<std::string> &list)
{
    std::string out;
    for (const std::string &s : list)
        out += s + "; ";
    return out;
}

bool mentions(const std::vector<std::string> &list, const char *what)
{
    return std::find(list.begin(), list.end(), what) != list.end();
}

} // namespace

void TestCellFormats::stylesAreSharedNotCopied()
{
    Workbook book;
    CellStyle bold;
    bold.bold = true;
    const StyleIndex index = book.formats().addStyle(bold);
    QCOMPARE(book.formats().addStyle(bold), index);
    QCOMPARE(book.formats().addStyle(CellStyle()), defaultStyle);
    for (int row = 0; row < 1000; ++row)
        book.formats().setCellStyle(0, row, 2, index);
    QCOMPARE(book.formats().styleCount(), std::size_t(2));
    QCOMPARE(book.formats().styleAt(0, 999, 2), index);
    QCOMPARE(book.formats().styleAt(0, 1000, 2), defaultStyle);
    // a cell's own style wins over its row's, a row's over its column's
    CellStyle italic;
    italic.italic = true;
    const StyleIndex other = book.formats().addStyle(italic);
    book.formats().setColumnStyle(0, 5, index);
    book.formats().setRowStyle(0, 3, other);
    QCOMPARE(book.formats().styleAt(0, 100000, 5), index);
    QCOMPARE(book.formats().styleAt(0, 3, 5), other);
    book.formats().setCellStyle(0, 3, 5, defaultStyle);
    QCOMPARE(book.formats().styleAt(0, 3, 5), defaultStyle);
}

void TestCellFormats::readsXlsxFormats()
{
    Workbook book;
    const LoadReport report = loadWorkbookFile(TARVIO_FIXTURES "/formats.xlsx", book);
    QVERIFY2(report.ok, report.message.c_str());
    QVERIFY2(report.unsupported.empty(), joined(report.unsupported).c_str());
    QCOMPARE(text(book, at(0, "A1")), std::string("-1,234.50"));
    QCOMPARE(NumberFormat(styleOf(book, at(0, "A1")).numberFormat).number(-1).colour, 0xFF0000);
    QCOMPARE(text(book, at(0, "B1")), std::string("2024-01-01"));
    QCOMPARE(text(book, at(0, "C1")), std::string("25.60%"));
    QCOMPARE(text(book, at(0, "B2")), std::string("36:00"));
    QCOMPARE(text(book, at(0, "A3")), std::string("-2,469.00"));
    QCOMPARE(text(book, at(0, "A1"), 6), std::string("######"));
    const CellStyle &title = styleOf(book, at(0, "D1"));
    QVERIFY(title.bold && !title.italic);
    QCOMPARE(title.fontColour, 0xFF0000);
    QCOMPARE(title.fill, 0xFFFF00);
    QVERIFY(styleOf(book, at(0, "C2")) == title); // formatted, with nothing in it
    const CellStyle &boxed = styleOf(book, at(0, "A2"));
    QVERIFY(boxed.italic);
    QVERIFY(boxed.alignment == HorizontalAlignment::Center);
    QVERIFY(boxed.left.line == BorderLine::Thin && boxed.top.line == BorderLine::Medium && boxed.bottom.line == BorderLine::Double);
    QCOMPARE(boxed.top.colour, 0x0000FF);
    // a formatted column formats every cell in it
    QCOMPARE(text(book, at(0, "E2")), std::string("3.00"));
    QVERIFY(styleOf(book, at(0, "E900")).alignment == HorizontalAlignment::Right);
    QCOMPARE(book.formats().mergedAreas(0).size(), std::size_t(1));
    QVERIFY(book.formats().mergedAreas(0).front() == (MergedArea{2, 1, 2, 2}));
    // another font, lines through and under it, wrapped at the top of a taller row
    const CellStyle &note = styleOf(book, at(0, "A4"));
    QCOMPARE(note.fontName, std::string("Georgia"));
    QCOMPARE(note.fontSize, 14.0);
    QVERIFY(note.underline);
    QVERIFY(note.strikeout);
    QVERIFY(note.wrap);
    QVERIFY(note.vertical == VerticalAlignment::Top);
    QVERIFY(styleOf(book, at(0, "A1")).fontName.empty()); // the workbook's own font
    QCOMPARE(book.formats().rowHeights(0).at(3), 30.0);
    // a formatted row formats every cell in it, the column's own style aside
    QCOMPARE(text(book, at(0, "B6")), std::string("50.00%"));
    QCOMPARE(styleOf(book, at(0, "Z6")).numberFormat, std::string("0.00%"));
}

void TestCellFormats::xlsxFormatsSurviveASave()
{
    QTemporaryDir dir;
    Workbook book;
    QVERIFY(loadWorkbookFile(TARVIO_FIXTURES "/formats.xlsx", book).ok);
    const std::string before = looks(book, 0, 6, 6);
    const std::string file = dir.filePath(QStringLiteral("saved.xlsx")).toStdString();
    std::string message;
    QVERIFY2(saveWorkbookXlsx(book, file, message), message.c_str());
    Workbook again;
    const LoadReport report = loadWorkbookFile(file, again);
    QVERIFY2(report.ok, report.message.c_str());
    QVERIFY2(report.unsupported.empty(), joined(report.unsupported).c_str());
    QCOMPARE(QString::fromStdString(looks(again, 0, 6, 6)), QString::fromStdString(before));
    QCOMPARE(styleOf(again, at(0, "Z6")).numberFormat, std::string("0.00%"));
    QCOMPARE(text(again, at(0, "E5000")), std::string());
    QVERIFY(styleOf(again, at(0, "E5000")) == styleOf(book, at(0, "E5000")));
}

void TestCellFormats::openDocumentFormatsSurviveASaveAsXlsx()
{
    QTemporaryDir dir;
    Workbook book;
    const LoadReport loaded = loadWorkbookFile(TARVIO_FIXTURES "/formats.ods", book);
    QVERIFY2(loaded.ok, loaded.message.c_str());
    QCOMPARE(text(book, at(0, "A1")), std::string("-1,234.50"));
    QCOMPARE(text(book, at(0, "B1")), std::string("2024-01-01"));
    QCOMPARE(text(book, at(0, "C1")), std::string("25.6%"));
    QCOMPARE(text(book, at(0, "D1")), std::string("Title"));
    QVERIFY(styleOf(book, at(0, "D1")).bold);
    QCOMPARE(styleOf(book, at(0, "D1")).fontColour, 0xFF0000);
    QCOMPARE(styleOf(book, at(0, "D1")).fill, 0xFFFF00);
    QVERIFY(styleOf(book, at(0, "A2")).italic);
    QVERIFY(styleOf(book, at(0, "A2")).alignment == HorizontalAlignment::Center);
    QVERIFY(styleOf(book, at(0, "A2")).bottom.line == BorderLine::Thin);
    QCOMPARE(text(book, at(0, "B2")), std::string("36:00"));
    QVERIFY(book.formats().mergedAreas(0).front() == (MergedArea{2, 1, 2, 2}));
    QCOMPARE(text(book, at(0, "A4")), std::string("1.23E+04"));
    QCOMPARE(text(book, at(0, "B4")), std::string("1 1/2"));
    QCOMPARE(text(book, at(0, "C4")), std::string("1,234.50 €"));
    QCOMPARE(text(book, at(0, "D4")), std::string("Name: Ann"));
    const std::string before = looks(book, 0, 5, 5);
    const std::string file = dir.filePath(QStringLiteral("from-ods.xlsx")).toStdString();
    std::string message;
    QVERIFY2(saveWorkbookXlsx(book, file, message), message.c_str());
    Workbook again;
    const LoadReport report = loadWorkbookFile(file, again);
    QVERIFY2(report.ok, report.message.c_str());
    QCOMPARE(QString::fromStdString(looks(again, 0, 5, 5)), QString::fromStdString(before));
}

void TestCellFormats::reportsFormatsItCannotKeep()
{
    Workbook book;
    const LoadReport report = loadWorkbookFile(TARVIO_FIXTURES "/lost-formats.xlsx", book);
    QVERIFY2(report.ok, report.message.c_str());
    QVERIFY(mentions(report.unsupported, "conditional formats"));
    QVERIFY(mentions(report.unsupported, "theme colours"));
    QVERIFY(mentions(report.unsupported, "turned, indented or shrunk text"));
    QVERIFY(mentions(report.unsupported, "hidden rows and columns"));
    QVERIFY(mentions(report.unsupported, "frozen panes"));
    QVERIFY(mentions(report.unsupported, "filters"));
    QCOMPARE(report.unsupported.size(), std::size_t(6));
    QCOMPARE(text(book, at(0, "A1")), std::string("-1,234.50"));
}

void TestCellFormats::hugeFormattedAreasAreBounded()
{
    // Whole columns and rows are kept once; any other area is spread to its
    // cells only up to a bound, and what lies past it is reported.
    ImportedData data;
    data.styles = {CellStyle(), CellStyle()};
    data.styles[1].bold = true;
    ImportedSheet sheet;
    sheet.name = "Big";
    sheet.styled.push_back({{0, 3, maxRows - 1, 5}, 1});
    sheet.styled.push_back({{7, 0, 7, maxColumns - 1}, 1});
    sheet.styled.push_back({{0, 10, maxRows - 2, 200}, 1});
    data.sheets.push_back(sheet);
    Workbook book;
    const LoadReport report = buildWorkbook(data, book);
    QVERIFY(styleOf(book, {0, maxRows - 1, 4}).bold);
    QVERIFY(styleOf(book, {0, 7, maxColumns - 1}).bold);
    QVERIFY(!styleOf(book, {0, 8, 6}).bold);
    QVERIFY(!report.notRead.empty());
    QVERIFY(report.notRead.front().find("formats of Big") != std::string::npos);
    QVERIFY(!report.unsupported.empty());
}

QTEST_APPLESS_MAIN(TestCellFormats)
#include "tst_cell_formats.moc"
