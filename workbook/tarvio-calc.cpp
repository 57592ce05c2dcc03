// tarvio-calc: the embedded workbook from the command line, for scripts,
// large workbooks and benchmarks.
//   tarvio-calc FILE --dump
//   tarvio-calc FILE [--set Sheet!A1=VALUE ...] --get Sheet!B5[,Sheet!C7...]
//   tarvio-calc FILE --scan A1=FROM:TO:COUNT [--scan A2=FROM:TO:COUNT] --get C1,B1
// With --office [--pipe NAME] the same runs in LibreOffice Calc, through the
// program that knows the office (beside this one).
// Numbers are printed with every digit needed to read them back exactly.
// Exit status: 0 done, 1 bad arguments, 2 the file cannot be read.
#include "CalcCommand.h"
#include "ParallelPoints.h"
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

// The embedded workbook's cells, by handle.
class EmbeddedCells : public CalcCells
{
public:
    explicit EmbeddedCells(Workbook &book) : m_book(book) {}

    int find(const std::string &reference) override
    {
        const auto range = parseRangeReference(reference);
        if (!range || !range->isSingleCell())
            return -1;
        const SheetIndex sheet = range->sheet.empty() ? 0 : m_book.findSheet(range->sheet);
        if (sheet < 0)
            return -1;
        m_cells.push_back(CellLocation{sheet, range->first.row, range->first.column});
        return int(m_cells.size() - 1);
    }

    bool setInput(int cell, const std::string &text, std::string &message) override
    {
        return m_book.setInput(m_cells[size_t(cell)], text, &message);
    }

    void exchange(const std::vector<int> &inputs, const std::vector<double> &values, const std::vector<int> &outputs,
                  std::vector<Value> &results) override
    {
        for (size_t i = 0; i < inputs.size(); ++i)
            m_book.setValue(m_cells[size_t(inputs[i])], Value::number(values[i]));
        results.clear();
        for (int cell : outputs)
            results.push_back(m_book.value(m_cells[size_t(cell)]));
    }

    bool exchangeMany(const std::vector<int> &inputs, long long points,
                      const std::function<void(long long, double *)> &point, const std::vector<int> &outputs,
                      std::vector<Value> &results, int threads) override
    {
        const size_t width = outputs.size();
        results.resize(size_t(points) * width);
        ParallelPoints parallel(m_book, locations(inputs), locations(outputs), threads,
                                [&results, width](size_t first, size_t, std::vector<Value> &&values) {
                                    std::move(values.begin(), values.end(), results.begin() + first * width);
                                });
        if (!parallel.usable()) {
            results.clear();
            return false;
        }
        // Handed over in blocks, so the numbers of a huge grid are never all held at once.
        constexpr long long block = 1 << 16;
        std::vector<double> numbers;
        for (long long first = 0; first < points; first += block) {
            const long long count = std::min(block, points - first);
            numbers.resize(size_t(count) * inputs.size());
            for (long long p = 0; p < count; ++p)
                point(first + p, numbers.data() + p * inputs.size());
            parallel.submit(numbers);
        }
        parallel.finish();
        return true;
    }

private:
    std::vector<CellLocation> locations(const std::vector<int> &cells) const
    {
        std::vector<CellLocation> where;
        for (int cell : cells)
            where.push_back(m_cells[size_t(cell)]);
        return where;
    }

    Workbook &m_book;
    std::vector<CellLocation> m_cells;
};

void dump(Workbook &book)
{
    for (SheetIndex s = 0; s < book.sheetCount(); ++s) {
        std::vector<std::pair<int, int>> cells;
        book.forEachCell(s, [&cells](int row, int column) { cells.emplace_back(row, column); });
        std::sort(cells.begin(), cells.end());
        const std::string prefix = quotedSheetName(book.sheetName(s)) + "!";
        for (const auto &[row, column] : cells) {
            const Value v = book.value({s, row, column});
            if (!v.isEmpty())
                std::cout << prefix << cellText({row, column}) << '\t' << exactText(v) << '\n';
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
        dump(book);
        return calcDone;
    }
    EmbeddedCells cells(book);
    return runCalcCommand(command, cells, std::cout, std::cerr);
}
