#include "EmbeddedPointEvaluation.h"

#include "EmbeddedObjects.h"

#include <QMetaObject>

using namespace workbook;

EmbeddedPointEvaluation::EmbeddedPointEvaluation(EmbeddedDocument *document, std::vector<CellLocation> write,
                                                 std::vector<CellLocation> read, int threads)
    : m_inputs(write.size()), m_width(read.size())
{
    m_points = std::make_unique<ParallelPoints>(
        document->book(), std::move(write), std::move(read), threads,
        [this](std::size_t first, std::size_t count, std::vector<Value> &&values) {
            // On a worker: handed over, never waited for.
            QMetaObject::invokeMethod(
                this, [this, first, count, values = std::move(values)]() mutable { deliver(first, count, std::move(values)); },
                Qt::QueuedConnection);
        });
    m_points->whenPaused([this] { workbookChanged(); });
}

EmbeddedPointEvaluation::~EmbeddedPointEvaluation()
{
    // The workers stop before the object their deliveries are queued for goes.
    m_points.reset();
}

void EmbeddedPointEvaluation::submit(const QList<double> &values)
{
    const std::size_t points = m_inputs ? std::size_t(values.size()) / m_inputs : 0;
    if (points == 0)
        return;
    const std::vector<double> numbers(values.begin(), values.begin() + qsizetype(points * m_inputs));
    m_points->submit(numbers);
    m_untaken.insert(m_untaken.end(), numbers.begin(), numbers.end());
    m_submitted += points;
}

bool EmbeddedPointEvaluation::takeNext(QList<QVariant> &readings)
{
    if (m_next >= m_submitted)
        return false;
    readings.resize(qsizetype(m_width));
    const auto run = m_runs.begin();
    if (run != m_runs.end() && run->first <= m_next) {
        const Value *values = run->second.values.data() + (m_next - run->first) * m_width;
        for (std::size_t i = 0; i < m_width; ++i)
            readings[qsizetype(i)] = variantOf(values[i]);
        if (m_next + 1 == run->first + run->second.count)
            m_runs.erase(run);
    } else if (m_givenUp) {
        std::fill(readings.begin(), readings.end(), QVariant());
    } else {
        return false;
    }
    ++m_next;
    m_untaken.erase(m_untaken.begin(), m_untaken.begin() + qsizetype(m_inputs));
    return true;
}

void EmbeddedPointEvaluation::cancel()
{
    m_points->cancel();
    m_runs.clear();
    m_untaken.clear();
    m_next = m_submitted;
    m_ourFirst = m_next;
    m_workerFirst = m_points->queued();
}

void EmbeddedPointEvaluation::deliver(std::size_t first, std::size_t count, std::vector<Value> &&values)
{
    if (first < m_workerFirst)
        return; // cancelled, or evaluated before the workbook changed
    m_runs.emplace(m_ourFirst + (first - m_workerFirst), Run{count, std::move(values)});
    emit arrived();
}

void EmbeddedPointEvaluation::workbookChanged()
{
    // What the workers have done for the points not yet taken is stale: they
    // are queued again, to be evaluated once the change is done.
    const std::vector<double> again(m_untaken.begin(), m_untaken.end());
    m_points->cancel();
    m_runs.clear();
    m_ourFirst = m_next;
    m_workerFirst = m_points->queued();
    m_points->submit(again);
    if (m_resumeQueued)
        return;
    m_resumeQueued = true;
    QMetaObject::invokeMethod(this, &EmbeddedPointEvaluation::resumeAfterChange, Qt::QueuedConnection);
}

void EmbeddedPointEvaluation::resumeAfterChange()
{
    m_resumeQueued = false;
    if (!m_points->resume()) {
        m_givenUp = true;
        emit arrived();
    }
}
