#pragma once
// What the playback, export and recording engines read of the timeline: the
// pictures and sound at a frame, answered from an immutable published state, so
// any thread can ask without the main thread. The timeline publishes a new state
// after each change; an engine holds the state it took for as long as it wants
// (an export keeps the one it started with).
// Lives on: any thread (a TimelineReader never changes once published).

#include "RenderTypes.h"

#include <QList>

#include <atomic>
#include <functional>

#include <cstdint>
#include <memory>

class TimelineReader {
public:
    virtual ~TimelineReader() = default;
    // What every visual track shows at frame F, in track order (every visual track
    // is listed, also when it shows nothing there).
    virtual QList<TrackFrame> frameAt(int64_t frame) const = 0;
    // The audible clips at frame F (positions in 1/fps steps).
    virtual QList<AudioFrameData> audioAt(int64_t frame, int64_t fps) const = 0;
    // The last frame of the timeline (the end of its last clip, less one); -1 when
    // it is empty.
    virtual int64_t lastFrame() const = 0;
};

using TimelineState = std::shared_ptr<const TimelineReader>;

// The newest published state. The timeline replaces it on the main thread; any
// thread takes a reference to it, which stays valid however often it is replaced.
class TimelineFeed {
public:
    void publish(TimelineState state);
    // Null until the first publish.
    TimelineState current() const;
    // Main thread: the state as the timeline is now (publishing first a change that
    // waits for the end of the event-loop turn).
    TimelineState fresh();
    // Main thread: what fresh() runs first; the timeline sets it while it exists.
    void setRefresher(std::function<void()> refresher) { m_refresher = std::move(refresher); }

private:
    TimelineState m_state;             // read and written only through std::atomic_load/store
    std::function<void()> m_refresher; // main thread only
};
