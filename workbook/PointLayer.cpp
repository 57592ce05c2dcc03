#include "PointLayer.h"

namespace workbook {

PointPlan::PointPlan(Workbook &book, const std::vector<CellLocation> &inputs, const std::vector<CellLocation> &outputs)
{
    for (const CellLocation &where : inputs) {
        if (where.sheet < 0 || where.sheet >= book.sheetCount() || !Workbook::isInSheet(where.row, where.column)) {
            m_usable = false;
            return;
        }
        CellId id = book.findCell(where.sheet, where.row, where.column);
        if (id == noCell) {
            book.changing();
            id = book.obtainCell(where);
        }
        if (book.m_cells[id].formula || book.m_cells[id].keptFormula)
            m_usable = false;
        m_inputs.push_back(id);
    }
    for (const CellLocation &where : outputs)
        m_outputs.push_back(book.findCell(where.sheet, where.row, where.column));
    book.recalculate();

    std::vector<CellId> starts = book.m_volatileCells;
    starts.insert(starts.end(), m_inputs.begin(), m_inputs.end());
    std::vector<std::uint32_t> position(book.m_cells.size(), 0);
    for (CellId id : book.formulasReachedFrom(starts)) {
        const Workbook::Cell &cell = book.m_cells[id];
        position[id] = static_cast<std::uint32_t>(m_steps.size());
        m_steps.push_back(Step{id, cell.formula.get(), cell.where, cell.onCycle});
        // Its reads are not in the order worked out here: the workbook's own
        // recalculation, which evaluates again what read too early, takes it.
        if (cell.formula->readsDynamically)
            m_usable = false;
    }
    m_volatileReach = positionsReached(book, book.m_volatileCells, position);
    for (CellId input : m_inputs) {
        starts = book.m_volatileCells;
        starts.push_back(input);
        m_reachOfInput.push_back(positionsReached(book, starts, position));
    }
}

std::vector<std::uint32_t> PointPlan::positionsReached(const Workbook &book, std::vector<CellId> starts,
                                                       const std::vector<std::uint32_t> &position) const
{
    std::vector<std::uint32_t> positions;
    for (CellId id : book.formulasReachedFrom(std::move(starts)))
        positions.push_back(position[id]);
    return positions;
}

PointLayer::PointLayer(const Workbook &book, const PointPlan &plan)
    : m_plan(plan), m_values(book.m_values), m_evaluator(book, m_values)
{
}

void PointLayer::evaluateStep(const PointPlan::Step &step)
{
    Value &target = m_values[step.cell];
    if (step.circular)
        target = Value::error(ErrorCode::Circular);
    else
        m_evaluator.evaluateInto(*step.formula, step.where, target);
}

void PointLayer::evaluate(const double *inputs, std::vector<Value> &outputs)
{
    // As the workbook does: a write of the value a cell holds changes nothing.
    constexpr std::size_t none = SIZE_MAX, several = SIZE_MAX - 1;
    std::size_t changed = none;
    const std::vector<CellId> &cells = m_plan.inputs();
    for (std::size_t i = 0; i < cells.size(); ++i) {
        const Value written = Value::number(inputs[i]);
        Value &value = m_values[cells[i]];
        if (value == written)
            continue;
        value = written;
        changed = changed == none || changed == i ? i : several;
    }
    const std::vector<PointPlan::Step> &steps = m_plan.steps();
    if (changed == several) {
        for (const PointPlan::Step &step : steps)
            evaluateStep(step);
    } else {
        // Volatile formulas draw anew at every point, even one that writes nothing new.
        for (std::uint32_t position : changed == none ? m_plan.volatileReach() : m_plan.reachOf(changed))
            evaluateStep(steps[position]);
    }
    for (CellId id : m_plan.outputs())
        outputs.push_back(id == noCell ? Value() : m_values[id]);
}

} // namespace workbook
