#pragma once
// Captures the chosen microphone into a WAV file and moves the timeline forward in
// real time while it does: a frame every 33,333 µs, two when a whole frame late.
// Lives on: its own thread (run); the capture's signals call back on the capture
// threads; stop() and the destructor are called from the main thread.

#include "render/RenderTypes.h"

#include <QString>
#include <QThread>

#include <atomic>

class RecordThread : public QThread {
    Q_OBJECT
public:
    explicit RecordThread(const QString &path, QObject *parent = nullptr);
    // Stops the clock and the capture and waits; the WAV file is complete after.
    ~RecordThread() override;
    void stop() { m_stop = true; }

signals:
    // The take moved on by `frames` frames (plain values: the one way across).
    void sig_advance(int frames);
    void sig_recordError();
    // The microphone could not be opened at all.
    void sig_recordStop();
    // The microphone went away during the take (true; the clock waits) or came back.
    void sig_devicePaused(bool paused);
    // The file takes no more sound (wav::kDataFailed: the disk is full;
    // wav::kSizeLimit): the take has ended with what was recorded.
    void sig_writeFailed(int code);

protected:
    void run() override;

private:
    // Waits until capture started, failed or the thread is stopped.
    void awaitCapture();

    QString m_path;
    std::atomic<bool> m_stop{false};
    std::atomic<int> m_capture{0}; // 0 waiting, 1 running, -1 not running
    std::atomic<bool> m_everCaptured{false};
    std::atomic<int> m_writeProblem{0}; // the encoder's code once the file refused sound
};
