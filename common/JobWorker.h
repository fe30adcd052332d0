#pragma once
// A worker thread that runs queued jobs one at a time, in queue order. The queue is
// the one way across: the owner adds, merges, removes and waits under the worker's
// lock; the worker takes the front job and runs it with the lock released.
// Lives on: made, fed and destroyed on its owner's thread; the run, taken and idle
// functions are called on the worker thread it starts.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>

template <typename Job> class JobWorker {
public:
    // What the owner sees of the queue while it holds the lock: the queued jobs, in
    // order, and the job being run (or none).
    struct Queue {
        std::deque<Job> &queued;
        const Job *running;
    };

    // `run` is called for each job, without the lock.
    explicit JobWorker(std::function<void(const Job &)> run) : m_run(std::move(run)) {}
    JobWorker(const JobWorker &) = delete;
    JobWorker &operator=(const JobWorker &) = delete;
    // Stops the worker: queued jobs are dropped, the one running is waited for.
    ~JobWorker() { stop(); }

    // Called on the worker, under the lock, as a job is taken from the queue.
    void onTaken(std::function<void(const Job &)> taken) { m_taken = std::move(taken); }
    // Called on the worker, under the lock, when nothing was queued for `period`; it
    // may queue jobs.
    void onIdle(std::chrono::milliseconds period, std::function<void(std::deque<Job> &)> idle)
    {
        m_idlePeriod = period;
        m_idle = std::move(idle);
    }
    // Starts the thread; the owner calls it once everything the functions use is made.
    void start()
    {
        if (!m_thread.joinable() && !m_stop)
            m_thread = std::thread([this] { loop(); });
    }

    // Queues `job` before the first queued job `before` is true for, else at the end.
    void add(Job job, const std::function<bool(const Job &)> &before = {})
    {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            if (m_stop)
                return;
            auto at = m_jobs.end();
            if (before)
                for (auto it = m_jobs.begin(); it != m_jobs.end(); ++it)
                    if (before(*it)) {
                        at = it;
                        break;
                    }
            m_jobs.insert(at, std::move(job));
        }
        m_wake.notify_all();
    }
    // Runs `change` on the queue under the lock and wakes the worker afterwards.
    template <typename Change> auto withQueue(Change change)
    {
        struct Wake {
            std::condition_variable &wake;
            ~Wake() { wake.notify_all(); }
        } wake{m_wake};
        std::lock_guard<std::mutex> lock(m_mutex);
        Queue queue{m_jobs, m_running ? &*m_running : nullptr};
        return change(queue);
    }
    // Drops every queued job (the one running goes on).
    void clear()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_jobs.clear();
    }
    // Jobs queued or running.
    int pending() const
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return int(m_jobs.size()) + (m_running ? 1 : 0);
    }
    // Blocks until nothing is queued or running (or the worker stopped).
    void waitUntilIdle()
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        m_wake.wait(lock, [this] { return m_stop || (m_jobs.empty() && !m_running); });
    }
    // Ends the worker: queued jobs are dropped and the one running is waited for (it
    // may poll `stopping()` to end early). Nothing is queued afterwards.
    void stop()
    {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_stop = true;
            m_jobs.clear();
        }
        m_wake.notify_all();
        if (m_thread.joinable())
            m_thread.join();
    }
    bool stopping() const { return m_stop; }
    const std::atomic<bool> &stopFlag() const { return m_stop; }

private:
    void loop()
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        for (;;) {
            auto ready = [this] { return m_stop || !m_jobs.empty(); };
            if (m_idle) {
                if (!m_wake.wait_for(lock, m_idlePeriod, ready)) {
                    m_idle(m_jobs);
                    if (m_jobs.empty())
                        continue;
                }
            } else {
                m_wake.wait(lock, ready);
            }
            if (m_stop)
                return;
            m_running.emplace(std::move(m_jobs.front()));
            m_jobs.pop_front();
            if (m_taken)
                m_taken(*m_running);
            lock.unlock();
            m_run(*m_running);
            lock.lock();
            m_running.reset();
            m_wake.notify_all(); // for waitUntilIdle
        }
    }

    std::function<void(const Job &)> m_run, m_taken;
    std::function<void(std::deque<Job> &)> m_idle;
    std::chrono::milliseconds m_idlePeriod{0};
    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<Job> m_jobs;
    std::optional<Job> m_running; // under m_mutex; read by the worker without it while it runs
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};
