#pragma once

#include "../PointEvaluation.h"
#include "EmbeddedDocument.h"
#include "ParallelPoints.h"

#include <deque>
#include <map>
#include <memory>
#include <vector>

// Scan points of one embedded workbook on worker threads (workbook::ParallelPoints).
// The workers' deliveries reach this object, on its thread, through queued
// invocations. A change to the workbook meanwhile pauses the workers; every
// point not yet taken is then evaluated again over the changed workbook, so
// each point taken after a change sees it, as it would point by point. Once
// the points can no longer be evaluated apart (the workbook closed, a
// formula typed into a written cell), the rest read as nothing.
class EmbeddedPointEvaluation : public PointEvaluation
{
    Q_OBJECT
public:
    EmbeddedPointEvaluation(EmbeddedDocument *document, std::vector<workbook::CellLocation> write,
                            std::vector<workbook::CellLocation> read, int threads);
    ~EmbeddedPointEvaluation() override;

    // False when the points cannot be evaluated apart at all.
    bool usable() const { return m_points->usable(); }

    void submit(const QList<double> &values) override;
    bool takeNext(QList<QVariant> &readings) override;
    qsizetype outstanding() const override { return qsizetype(m_submitted - m_next); }
    void cancel() override;

private:
    struct Run
    {
        std::size_t count;
        std::vector<workbook::Value> values;
    };
    // `first` counts the workers' points; those from before the last change are dropped.
    void deliver(std::size_t first, std::size_t count, std::vector<workbook::Value> &&values);
    void workbookChanged();
    void resumeAfterChange();

    std::size_t m_inputs;
    std::size_t m_width;
    std::unique_ptr<workbook::ParallelPoints> m_points;
    // Our point m_next is the workers' point m_workerFirst + (m_next - m_ourFirst).
    std::size_t m_workerFirst = 0;
    std::size_t m_ourFirst = 0;
    std::map<std::size_t, Run> m_runs; // arrived, by their first point (ours)
    std::deque<double> m_untaken;      // the inputs of the points submitted and not yet taken
    std::size_t m_next = 0;            // the next point to take
    std::size_t m_submitted = 0;
    bool m_resumeQueued = false;
    bool m_givenUp = false;
};
