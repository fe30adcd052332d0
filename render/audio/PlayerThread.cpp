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
        QMutexLocker lock(&m_mutex);
        while (!m_ready)
            m_wake.wait(&m_mutex);
        if (m_stop)
            break;
        mixer.begin(m_frame, 1, m_fps);
        tasks->decode(m_pending);
        mixer.finish();
        m_played.ref();
        m_ready = false;
    }
    tasks.reset();
    mixer.close();
}
