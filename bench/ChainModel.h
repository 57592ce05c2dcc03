#pragma once

#include "Workbook.h"

#include <string>

// The chain the scan benchmarks sweep: two inputs (A1, A2), K formulas down
// column B each reading the one above, and C1 summing them.
inline void buildChain(workbook::Workbook &book, workbook::SheetIndex s, int k)
{
    using workbook::Value;
    book.setValue({s, 0, 0}, Value::number(0.3));
    book.setValue({s, 1, 0}, Value::number(0.7));
    book.setFormula({s, 0, 1}, "=SIN(A1)*COS(A2)+A1*A2");
    for (int i = 2; i <= k; ++i)
        book.setFormula({s, i - 1, 1}, "=B" + std::to_string(i - 1) + "*0.999+SQRT(ABS(A1))+EXP(-A2*A2)");
    const std::string last = std::to_string(k);
    book.setFormula({s, 0, 2}, "=B" + last + "+SUM(B1:B" + last + ")/" + last);
    book.recalculate();
}
