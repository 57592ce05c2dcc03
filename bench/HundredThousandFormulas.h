#pragma once

// The large workbook the opening and scrolling benchmarks share: 100,000
// formulas down column A, and with `formatted` every cell in one of a few
// styles (numbers, percentages, dates, bold on a fill, borders) and a
// formatted column beside them, saved once to `path` by our own saver.
#include "Workbook.h"
#include "io/WorkbookFiles.h"

#include <string>

inline std::string hundredThousandFormulaFile(bool formatted)
{
    using namespace workbook;
    const std::string path = formatted ? "/tmp/tarvio-bench-100k-formatted.xlsx" : "/tmp/tarvio-bench-100k.xlsx";
    Workbook book;
    const SheetIndex s = book.addSheet("Big");
    book.setValue({s, 0, 0}, Value::number(1));
    for (int r = 1; r < 100000; ++r)
        book.setFormula({s, r, 0}, "=A" + std::to_string(r) + "*1.0001+B" + std::to_string(r + 1));
    if (formatted) {
        CellFormats &formats = book.formats();
        CellStyle money, percent, date, title;
        money.numberFormat = "#,##0.00;[Red]-#,##0.00";
        percent.numberFormat = "0.0%";
        date.numberFormat = "yyyy-mm-dd";
        title.bold = true;
        title.fill = 0xFFFF00;
        title.bottom.line = BorderLine::Thin;
        const StyleIndex styles[] = {formats.addStyle(money), formats.addStyle(percent), formats.addStyle(date),
                                     formats.addStyle(title)};
        for (int r = 0; r < 100000; ++r)
            formats.setCellStyle(s, r, 0, styles[r % 4]);
        formats.setColumnStyle(s, 1, styles[0]);
        book.setColumnWidth(s, 0, 14);
    }
    std::string message;
    saveWorkbookXlsx(book, path, message);
    return path;
}
