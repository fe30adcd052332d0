#pragma once
// The preview's render loop: every 40 ms the device ticks its items, runs its
// filters, draws the scene and presents the views.
// Lives on: its own thread; constructed and destroyed on the main thread (the
// destructor stops the loop and waits for it).

#include "common/StopSignal.h"

#include <QThread>

#include <algorithm>
#include <atomic>
#include <chrono>

class RenderThread : public QThread {
    Q_OBJECT
public:
    explicit RenderThread(QObject *parent = nullptr);
    ~RenderThread() override;
    int ticks() const { return m_ticks.loadRelaxed(); }

    static constexpr int kPeriodMs = 40;
    static constexpr int kMinWaitMs = 8;
    // Whether ticks keep a steady 40 ms cadence (default) or wait 40 ms after each
    // pass; the playback benchmark compares the two.
    static void setSteadyCadence(bool on) { s_steadyCadence = on; }

protected:
    void run() override;

private:
    StopSignal m_stop;
    QAtomicInt m_ticks;
    static inline std::atomic<bool> s_steadyCadence{true};
};
