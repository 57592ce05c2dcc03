#include "ParallelPoints.h"

#include <algorithm>

namespace workbook {

namespace {

// Runs of a few dozen points: each worker takes several per batch, so they
// finish together, and a run's hand-over costs little against its work.
constexpr std::size_t runsPerWorker = 4;
constexpr std::size_t longestRun = 64;

} // namespace

ParallelPoints::ParallelPoints(Workbook &book, std::vector<CellLocation> inputs, std::vector<CellLocation> outputs,
                               int threads, Delivery delivery)
    : m_book(&book), m_inputs(std::move(inputs)), m_outputs(std::move(outputs)), m_delivery(std::move(delivery))
{
    m_layers.resize(static_cast<std::size_t>(std::max(threads, 1)));
    book.attachReader(this);
    prepare();
    m_paused = false;
    m_holding = false;
    for (std::size_t worker = 0; worker < m_layers.size(); ++worker)
        m_workers.emplace_back([this, worker] { work(worker); });
}

ParallelPoints::~ParallelPoints()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_stopping = true;
        m_holding = true;
    }
    m_wake.notify_all();
    for (std::thread &worker : m_workers)
        worker.join();
    if (m_book)
        m_book->detachReader(this);
}

bool ParallelPoints::usable() const
{
    return m_book && m_plan && m_plan->usable();
}

void ParallelPoints::prepare()
{
    m_plan = std::make_unique<PointPlan>(*m_book, m_inputs, m_outputs);
    for (std::unique_ptr<PointLayer> &layer : m_layers)
        layer = m_plan->usable() ? std::make_unique<PointLayer>(*m_book, *m_plan) : nullptr;
}

void ParallelPoints::submit(const std::vector<double> &values)
{
    const std::size_t width = std::max<std::size_t>(m_inputs.size(), 1);
    const std::size_t points = m_inputs.empty() ? 0 : values.size() / width;
    const std::size_t run = std::clamp<std::size_t>(points / (m_layers.size() * runsPerWorker), 1, longestRun);
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        for (std::size_t first = 0; first < points; first += run) {
            const std::size_t count = std::min(run, points - first);
            m_queue.push_back(Run{m_queued + first, count,
                                  std::vector<double>(values.begin() + first * width, values.begin() + (first + count) * width)});
        }
        m_queued += points;
    }
    m_wake.notify_all();
}

std::size_t ParallelPoints::queued() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_queued;
}

void ParallelPoints::cancel()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_queue.clear();
        ++m_generation;
    }
    m_settled.notify_all();
}

void ParallelPoints::finish()
{
    std::unique_lock<std::mutex> lock(m_mutex);
    m_settled.wait(lock, [this] { return (m_queue.empty() || m_paused) && m_busy == 0; });
}

bool ParallelPoints::isPaused() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_paused;
}

void ParallelPoints::workbookChanging(bool closing)
{
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        m_paused = true;
        m_holding = true;
        m_settled.wait(lock, [this] { return m_busy == 0; });
        if (closing) {
            // The plan and the layers point into the workbook's formulas.
            m_book = nullptr;
            for (std::unique_ptr<PointLayer> &layer : m_layers)
                layer.reset();
            m_plan.reset();
        }
    }
    if (m_whenPaused)
        m_whenPaused();
}

bool ParallelPoints::resume()
{
    if (!m_book)
        return false;
    if (isPaused()) {
        prepare(); // the workers wait while paused
        if (!usable())
            return false;
        std::lock_guard<std::mutex> lock(m_mutex);
        m_paused = false;
        m_holding = false;
    }
    m_wake.notify_all();
    return usable();
}

std::size_t ParallelPoints::evaluateRun(PointLayer &layer, const Run &run, std::vector<Value> &outputs) const
{
    outputs.reserve(run.count * m_outputs.size());
    std::size_t done = 0;
    for (; done < run.count && !m_holding && run.generation == m_generation; ++done)
        layer.evaluate(run.inputs.data() + done * m_inputs.size(), outputs);
    return done;
}

void ParallelPoints::work(std::size_t worker)
{
    const std::size_t width = m_inputs.size();
    std::unique_lock<std::mutex> lock(m_mutex);
    for (;;) {
        m_wake.wait(lock, [this] { return m_stopping || (!m_paused && !m_queue.empty()); });
        if (m_stopping)
            return;
        PointLayer *layer = m_layers[worker].get();
        if (!layer) {
            // Nothing can be evaluated apart from the workbook: nothing is.
            m_queue.clear();
            m_settled.notify_all();
            continue;
        }
        Run run = std::move(m_queue.front());
        m_queue.pop_front();
        run.generation = m_generation;
        ++m_busy;
        lock.unlock();
        std::vector<Value> outputs;
        const std::size_t done = evaluateRun(*layer, run, outputs);
        const bool cancelled = run.generation != m_generation;
        if (done > 0 && !cancelled)
            m_delivery(run.first, done, std::move(outputs));
        lock.lock();
        if (done < run.count && !cancelled) {
            // Interrupted by a pause: the rest goes first once the workers go on.
            m_queue.push_front(Run{run.first + done, run.count - done,
                                   std::vector<double>(run.inputs.begin() + done * width, run.inputs.end())});
        }
        if (--m_busy == 0)
            m_settled.notify_all();
    }
}

} // namespace workbook
