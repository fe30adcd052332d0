#include "TimelineReader.h"

// The standard library's atomic shared_ptr access: a reader copies the pointer
// (one reference taken) and never waits for the timeline to build a state.
void TimelineFeed::publish(TimelineState state)
{
    std::atomic_store(&m_state, std::move(state));
}

TimelineState TimelineFeed::current() const
{
    return std::atomic_load(&m_state);
}

TimelineState TimelineFeed::fresh()
{
    if (m_refresher)
        m_refresher();
    return current();
}
