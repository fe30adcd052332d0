#pragma once
// A loop thread's stop request: asked for by the owner, polled and waited on by the
// loop. The loop's last step and the owner's last step after joining both `meet()`
// under the same lock, which orders everything the loop touched before the owner
// goes on (and lets the thread sanitizer see it).
// Lives on: any thread; every call is thread-safe.

#include <chrono>
#include <condition_variable>
#include <mutex>

class StopSignal {
public:
    void request()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_stop = true;
        m_wake.notify_all();
    }
    bool requested() const
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_stop;
    }
    // Waits at most `period`; true when a stop was asked for.
    template <typename Rep, typename Period> bool waitFor(std::chrono::duration<Rep, Period> period)
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        return m_wake.wait_for(lock, period, [this] { return m_stop; });
    }
    // Waits until a stop is asked for.
    void wait()
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        m_wake.wait(lock, [this] { return m_stop; });
    }
    void meet() const { std::lock_guard<std::mutex> lock(m_mutex); }

private:
    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_stop = false;
};
