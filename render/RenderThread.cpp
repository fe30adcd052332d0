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
    auto stopRequested = [this] {
        std::unique_lock<std::mutex> lock(m_mutex);
        return m_wake.wait_for(lock, std::chrono::milliseconds(kPeriodMs),
                               [this] { return m_stop; });
    };
    while (!stopRequested()) {
        device->TickSource();
        device->HandleFilter();
        device->OutputFrame(0, 1);
        device->DrawDisplay();
        m_ticks.ref();
    }
    // Back to the main thread, which owns the device between runs.
    device->DoneCurrent();
    device->MoveToThread(thread());
    std::lock_guard<std::mutex> done(m_mutex); // pairs with the destructor's
}
