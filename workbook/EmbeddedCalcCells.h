#pragma once

#include "CalcCommand.h"
#include "Workbook.h"

#include <vector>

namespace workbook {

// The embedded workbook's cells for tarvio-calc, by handle; a scan's points
// are evaluated on worker threads (ParallelPoints).
class EmbeddedCalcCells : public CalcCells
{
public:
    explicit EmbeddedCalcCells(Workbook &book) : m_book(book) {}

    int find(const std::string &reference) override;
    bool setInput(int cell, const std::string &text, std::string &message) override;
    void exchange(const std::vector<int> &inputs, const std::vector<double> &values, const std::vector<int> &outputs,
                  std::vector<Value> &results) override;
    bool exchangeMany(const std::vector<int> &inputs, long long points,
                      const std::function<void(long long, double *)> &point, const std::vector<int> &outputs,
                      std::vector<Value> &results, int threads) override;

private:
    std::vector<CellLocation> locations(const std::vector<int> &cells) const;

    Workbook &m_book;
    std::vector<CellLocation> m_cells;
};

} // namespace workbook
