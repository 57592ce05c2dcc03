#include "EmbeddedCalcCells.h"

#include "ParallelPoints.h"

#include <algorithm>

namespace workbook {

int EmbeddedCalcCells::find(const std::string &reference)
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

bool EmbeddedCalcCells::setInput(int cell, const std::string &text, std::string &message)
{
    return m_book.setInput(m_cells[size_t(cell)], text, &message);
}

void EmbeddedCalcCells::exchange(const std::vector<int> &inputs, const std::vector<double> &values,
                                 const std::vector<int> &outputs, std::vector<Value> &results)
{
    for (size_t i = 0; i < inputs.size(); ++i)
        m_book.setValue(m_cells[size_t(inputs[i])], Value::number(values[i]));
    results.clear();
    for (int cell : outputs)
        results.push_back(m_book.value(m_cells[size_t(cell)]));
}

bool EmbeddedCalcCells::exchangeMany(const std::vector<int> &inputs, long long points,
                                     const std::function<void(long long, double *)> &point,
                                     const std::vector<int> &outputs, std::vector<Value> &results, int threads)
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

std::vector<CellLocation> EmbeddedCalcCells::locations(const std::vector<int> &cells) const
{
    std::vector<CellLocation> where;
    for (int cell : cells)
        where.push_back(m_cells[size_t(cell)]);
    return where;
}

} // namespace workbook
