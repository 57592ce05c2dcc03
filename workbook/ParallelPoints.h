#pragma once

#include "PointLayer.h"

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace workbook {

// Points of a scan evaluated on worker threads, each worker over a layer of
// values of its own (PointLayer), so the workbook itself is never written.
// Points are numbered from 0 in the order they are queued; their outputs are
// delivered a run of consecutive points at a time, in no particular order,
// on the worker that evaluated them. The worker never waits for anyone to
// take them.
//
// The workbook may change meanwhile (on the thread that owns it): the workers
// step aside first, and the points still queued wait until `resume`.
class ParallelPoints : public ConcurrentReader
{
public:
    // The outputs of points [first, first + count): one value per output, point after point.
    using Delivery = std::function<void(std::size_t first, std::size_t count, std::vector<Value> &&outputs)>;

    ParallelPoints(Workbook &book, std::vector<CellLocation> inputs, std::vector<CellLocation> outputs, int threads,
                   Delivery delivery);
    ~ParallelPoints() override;
    ParallelPoints(const ParallelPoints &) = delete;
    ParallelPoints &operator=(const ParallelPoints &) = delete;

    // False when the points cannot be evaluated apart from the workbook (an
    // input holds a formula, or the workbook has gone).
    bool usable() const;

    // Queues points: one number per input for each, point after point.
    void submit(const std::vector<double> &values);
    // The points queued so far: the number the next one gets.
    std::size_t queued() const;
    // Drops the points not started; those under way are still delivered.
    void cancel();
    // Waits until every queued point has been delivered (or dropped).
    void finish();

    // After a change to the workbook: plans again over the workbook as it is
    // now and goes on with the queued points. False when it cannot (see usable).
    bool resume();
    bool isPaused() const;
    // Told, on the thread that changes the workbook, once the workers have
    // stepped aside for a change: the time to arrange a `resume`.
    void whenPaused(std::function<void()> paused) { m_whenPaused = std::move(paused); }

    void workbookChanging(bool closing) override;

private:
    struct Run
    {
        std::size_t first;
        std::size_t count;
        std::vector<double> inputs;
        unsigned generation = 0; // of the cancels, when taken
    };
    void hold(bool holding);
    // Evaluates points of a run until done or interrupted; gives how many were.
    std::size_t evaluateRun(PointLayer &layer, const Run &run, std::vector<Value> &outputs) const;
    void prepare();
    void work(std::size_t worker);

    Workbook *m_book;
    const std::vector<CellLocation> m_inputs;
    const std::vector<CellLocation> m_outputs;
    const Delivery m_delivery;
    std::function<void()> m_whenPaused;
    std::unique_ptr<PointPlan> m_plan;
    std::vector<std::unique_ptr<PointLayer>> m_layers; // one per worker

    mutable std::mutex m_mutex;
    std::condition_variable m_wake;   // for the workers
    std::condition_variable m_settled; // for the owner: no run under way
    std::deque<Run> m_queue;
    std::size_t m_queued = 0; // points numbered so far
    std::size_t m_busy = 0;   // runs under way
    bool m_paused = false;
    bool m_stopping = false;
    // Read by the workers between points, so a pause or a cancel waits for
    // one point at most, not a whole run.
    std::atomic<bool> m_holding{false};
    std::atomic<unsigned> m_generation{0};
    std::vector<std::thread> m_workers;
};

} // namespace workbook
