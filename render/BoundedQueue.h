#pragma once
// A first-in first-out queue between threads that holds at most `capacity` items:
// a producer waits while it is full, a consumer while it is empty, and closing it
// wakes both for good (what is queued can still be taken). The one hand-over the
// export's threads use between each other.
// Lives on: any thread (one mutex guards everything).

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>

template <typename T> class BoundedQueue {
public:
    explicit BoundedQueue(size_t capacity) : m_capacity(capacity ? capacity : 1) {}

    // Waits for room, then queues `item`; false once closed (the item stays with the
    // caller, untouched).
    bool push(T &item)
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        m_changed.wait(lock, [this] { return m_closed || m_items.size() < m_capacity; });
        if (m_closed)
            return false;
        m_items.push_back(std::move(item));
        m_changed.notify_all();
        return true;
    }
    // Waits for an item; false once closed and empty.
    bool pop(T &item)
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        m_changed.wait(lock, [this] { return m_closed || !m_items.empty(); });
        if (m_items.empty())
            return false;
        item = std::move(m_items.front());
        m_items.pop_front();
        m_changed.notify_all();
        return true;
    }
    // No more items come: waiting stops.
    void close()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_closed = true;
        m_changed.notify_all();
    }
    bool closed() const
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_closed;
    }
    // Takes everything still queued (after the threads are gone).
    std::deque<T> drain()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        std::deque<T> out;
        out.swap(m_items);
        return out;
    }

private:
    const size_t m_capacity;
    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<T> m_items;
    bool m_closed = false;
};
