#include "PlayerThread.h"

#include "AudioMixerPlayer.h"
#include "DecodingTasks.h"

#include <memory>

PlayerThread::PlayerThread(QObject *parent) : QThread(parent) {}

PlayerThread::~PlayerThread()
{
    {
        QMutexLocker lock(&m_mutex);
        m_stop = true;
        m_ready = true;
        m_wake.wakeAll();
    }
    wait();
}

void PlayerThread::onAudioFrames(const QList<AudioFrameData> &list, int64_t frame, int64_t fps,
                                 int64_t lastFrame)
{
    if (frame >= lastFrame) {
        emit sig_exit();
        return;
    }
    QMutexLocker lock(&m_mutex);
    m_pending = list;
    m_frame = frame;
    m_fps = fps;
    m_ready = true;
    m_wake.wakeAll();
}

void PlayerThread::run()
{
    auto tasks = std::make_unique<AudioTaskManager>();
    AudioMixerPlayer &mixer = AudioMixerPlayer::instance();
    mixer.open(2, 44100, 2, true);
    while (true) {
        emit sig_frontFrameRequest(MOVE_PLAY, EDIT_PLAY, 1, 30);
        QList<AudioFrameData> pending;
        int64_t frame = 0, fps = 30;
        {
            QMutexLocker lock(&m_mutex);
            while (!m_ready)
                m_wake.wait(&m_mutex);
            if (m_stop)
                break;
            pending.swap(m_pending);
            frame = m_frame;
            fps = m_fps;
            m_ready = false;
        }
        // Mixing and the pacing sleep run without the lock, so the main thread's
        // answer and a stop never wait for them.
        mixer.begin(frame, 1, fps);
        tasks->decode(pending);
        mixer.finish();
        m_played.ref();
    }
    tasks.reset();
    mixer.close();
}
