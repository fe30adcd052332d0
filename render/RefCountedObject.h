#pragma once
// Adds an atomic reference count to a graphics object (a scene or an item): the
// first holder adds the first reference, the last release destroys it.
// Lives on: any thread; AddRef and Release are atomic.

#include <atomic>
#include <utility>

template <typename T> class RefCountedObject : public T {
public:
    template <typename... Args>
    explicit RefCountedObject(Args &&...args) : T(std::forward<Args>(args)...)
    {}

    int AddRef() override { return ++m_refs; }
    int Release() override
    {
        const int left = --m_refs;
        if (left == 0)
            delete this;
        return left;
    }

protected:
    ~RefCountedObject() override = default;

private:
    std::atomic<int> m_refs{0};
};
