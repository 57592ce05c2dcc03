#pragma once

#include "Evaluator.h"
#include "Workbook.h"

#include <cstdint>
#include <vector>

namespace workbook {

// What the points of a scan write and read, and which formulas their writes
// reach, in calculation order: resolved once over the workbook as it stands,
// shared by every layer that evaluates points.
class PointPlan
{
public:
    struct Step
    {
        CellId cell;
        const CompiledFormula *formula;
        CellLocation where;
        bool circular;
    };

    // Brings the workbook up to date first. Input cells that do not exist yet
    // are made (empty), as a write would make them. Not usable when an input
    // holds a formula (a point's write would replace it) or when a formula
    // reached reads cells through OFFSET or INDIRECT.
    PointPlan(Workbook &book, const std::vector<CellLocation> &inputs, const std::vector<CellLocation> &outputs);

    bool usable() const { return m_usable; }
    const std::vector<CellId> &inputs() const { return m_inputs; }
    // noCell where nothing is stored: it reads empty.
    const std::vector<CellId> &outputs() const { return m_outputs; }
    // Every formula the inputs and the volatile formulas reach, in calculation order.
    const std::vector<Step> &steps() const { return m_steps; }
    // The positions in `steps` to evaluate after writing input `i` alone.
    const std::vector<std::uint32_t> &reachOf(std::size_t input) const { return m_reachOfInput[input]; }
    // ... and after writing none: the volatile formulas and what they feed.
    const std::vector<std::uint32_t> &volatileReach() const { return m_volatileReach; }

private:
    std::vector<std::uint32_t> positionsReached(const Workbook &book, std::vector<CellId> starts,
                                                const std::vector<std::uint32_t> &position) const;

    bool m_usable = true;
    std::vector<CellId> m_inputs;
    std::vector<CellId> m_outputs;
    std::vector<Step> m_steps;
    std::vector<std::vector<std::uint32_t>> m_reachOfInput;
    std::vector<std::uint32_t> m_volatileReach;
};

// One worker's view of a workbook: every cell's value, its own, over the
// workbook's shared formulas and dependency graph. Points written here never
// reach the workbook the user sees.
class PointLayer
{
public:
    // Copies the workbook's current values; made where the workbook is not changing.
    PointLayer(const Workbook &book, const PointPlan &plan);
    PointLayer(const PointLayer &) = delete;
    PointLayer &operator=(const PointLayer &) = delete;

    // Writes one point (a number per input), evaluates what the writes reach
    // as a recalculation of the workbook would, and appends each output's value.
    void evaluate(const double *inputs, std::vector<Value> &outputs);

private:
    void evaluateStep(const PointPlan::Step &step);

    const PointPlan &m_plan;
    std::vector<Value> m_values;
    Evaluator m_evaluator;
};

} // namespace workbook
