#pragma once
// The preview's render loop: every 40 ms the device ticks its items, runs its
// filters, draws the scene and presents the views.
// Lives on: its own thread; constructed and destroyed on the main thread (the
// destructor stops the loop and waits for it).

#include <QSemaphore>
#include <QThread>

class RenderThread : public QThread {
    Q_OBJECT
public:
    explicit RenderThread(QObject *parent = nullptr);
    ~RenderThread() override;
    int ticks() const { return m_ticks.loadRelaxed(); }

    static constexpr int kPeriodMs = 40;

protected:
    void run() override;

private:
    QSemaphore m_stop;
    QAtomicInt m_ticks;
};
