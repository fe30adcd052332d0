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
    m_stop.request();
    wait();
    m_stop.meet();
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
        return m_stop.waitFor(wait);
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
    m_stop.meet(); // pairs with the destructor's
}
