// tarvio-calc: the embedded workbook from the command line, for scripts,
// large workbooks and benchmarks.
//   tarvio-calc FILE --dump [--text]   (--text: each cell's text as its format shows it)
//   tarvio-calc FILE [--set Sheet!A1=VALUE ...] --get Sheet!B5[,Sheet!C7...]
//   tarvio-calc FILE --scan A1=FROM:TO:COUNT [--scan A2=FROM:TO:COUNT] --get C1,B1
// With --office [--pipe NAME] the same runs in LibreOffice Calc, through the
// program that knows the office (beside this one).
// Numbers are printed with every digit needed to read them back exactly.
// Exit status: 0 done, 1 bad arguments, 2 the file cannot be read.
#include "CalcCommand.h"
#include "EmbeddedCalcCells.h"
#include "ProgramBeside.h"
#include "Workbook.h"
#include "io/WorkbookFiles.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <iostream>
#include <string>
#include <vector>

#include <unistd.h>

using namespace workbook;

namespace {

// The text a cell shows in its column: as wide as the file made it, else as
// wide as the text (the window widens such columns to fit).
std::string shownText(Workbook &book, const CellLocation &where)
{
    const auto &widths = book.columnWidths(where.sheet);
    const auto width = widths.find(where.column);
    return book.shown(where, width == widths.end() ? 0 : std::max(1, static_cast<int>(width->second))).text;
}

void dump(Workbook &book, bool text)
{
    for (SheetIndex s = 0; s < book.sheetCount(); ++s) {
        std::vector<std::pair<int, int>> cells;
        book.forEachCell(s, [&cells](int row, int column) { cells.emplace_back(row, column); });
        std::sort(cells.begin(), cells.end());
        const std::string prefix = quotedSheetName(book.sheetName(s)) + "!";
        for (const auto &[row, column] : cells) {
            const Value v = book.value({s, row, column});
            // A formula whose result is empty is shown too, with nothing after the tab.
            if (!v.isEmpty() || book.hasFormula({s, row, column}))
                std::cout << prefix << cellText({row, column}) << '\t'
                          << (text ? shownText(book, {s, row, column}) : exactText(v)) << '\n';
        }
    }
}

// Hands the whole command line to the office program beside this one.
int runInOffice(char *argv[])
{
    std::string program = programBeside("tarvio-calc-office");
    argv[0] = program.data();
    ::execv(program.c_str(), argv);
    std::cerr << "tarvio-calc: --office needs " << program << ": " << std::strerror(errno)
              << " (the program was built without LibreOffice)\n";
    return calcBadArguments;
}

} // namespace

int main(int argc, char *argv[])
{
    CalcCommand command;
    std::string problem;
    if (!parseCalcCommand(std::vector<std::string>(argv + 1, argv + argc), command, problem))
        return calcUsage(std::cerr, problem);
    if (command.office)
        return runInOffice(argv);

    Workbook book;
    const LoadReport report = loadWorkbookFile(command.path, book);
    if (!report.ok) {
        std::cerr << "tarvio-calc: " << report.message << "\n";
        return calcUnreadableFile;
    }
    if (command.dump) {
        dump(book, command.text);
        return calcDone;
    }
    EmbeddedCalcCells cells(book);
    return runCalcCommand(command, cells, std::cout, std::cerr);
}
