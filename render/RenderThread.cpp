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
    m_stop.release();
    wait();
}

void RenderThread::run()
{
    GsDevice *device = GsDevice::DefaultDevice();
    if (!device)
        return;
    while (!m_stop.tryAcquire(1, kPeriodMs)) {
        device->TickSource();
        device->HandleFilter();
        device->OutputFrame(0, 1);
        device->DrawDisplay();
        m_ticks.ref();
    }
    // Back to the main thread, which owns the device between runs.
    device->DoneCurrent();
    device->MoveToThread(thread());
}
