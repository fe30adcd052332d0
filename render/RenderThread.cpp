#include "RenderThread.h"

#include "graphics/GsDevice.h"

RenderThread::RenderThread(QObject *parent) : QThread(parent)
{
    // The device is handed to this thread before it starts using it.
    if (GsDevice *device = GsDevice::DefaultDevice())
        device->MoveToThread(this);
    start(QThread::InheritPriority);
}

RenderThread::~RenderThread()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_stop = true;
        m_wake.notify_all();
    }
    wait();
    std::lock_guard<std::mutex> finished(m_mutex);
}

void RenderThread::run()
{
    GsDevice *device = GsDevice::DefaultDevice();
    if (!device)
        return;
    // Ticks keep a steady 40 ms cadence: the wait is shortened by the time the last
    // pass took (else every picture would come 40 ms plus the drawing apart), but
    // never below a few milliseconds, so a slow pass leaves the other threads room.
    using Clock = std::chrono::steady_clock;
    Clock::duration spent{};
    auto stopRequested = [&] {
        const auto period = std::chrono::milliseconds(kPeriodMs);
        const auto wait =
            s_steadyCadence
                ? std::max<Clock::duration>(period - spent, std::chrono::milliseconds(kMinWaitMs))
                : Clock::duration(period);
        std::unique_lock<std::mutex> lock(m_mutex);
        return m_wake.wait_for(lock, wait, [this] { return m_stop; });
    };
    while (!stopRequested()) {
        const auto start = Clock::now();
        device->TickSource();
        device->HandleFilter();
        device->OutputFrame(0, 1);
        device->DrawDisplay();
        m_ticks.ref();
        spent = Clock::now() - start;
    }
    // Back to the main thread, which owns the device between runs.
    device->DoneCurrent();
    device->MoveToThread(thread());
    std::lock_guard<std::mutex> done(m_mutex); // pairs with the destructor's
}
