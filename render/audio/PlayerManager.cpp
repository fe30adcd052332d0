#include "PlayerManager.h"

#include "PlaybackClock.h"
#include "PlayerThread.h"

PlayerManager::PlayerManager(QObject *parent)
    : QObject(parent), m_clock(std::make_shared<PlaybackClock>())
{
    registerRenderMetaTypes(); // the player thread's requests are queued to this thread
}

PlayerManager::~PlayerManager()
{
    setPlaying(false);
}

void PlayerManager::setPlaying(bool playing)
{
    if (playing == m_playing)
        return;
    if (playing) {
        m_playing = true;
        m_clock->reset();
        m_thread = new PlayerThread(m_clock);
        // A request still queued from a stopped thread must not move the timeline.
        PlayerThread *thread = m_thread;
        connect(m_thread, &PlayerThread::sig_frontFrameRequest, this,
                [this, thread](MoveType type, EditType edit, int64_t times, int64_t fps) {
                    if (m_thread == thread)
                        emit sig_frontFrameRequest(type, edit, times, fps);
                });
        connect(m_thread, &PlayerThread::sig_exit, this, &PlayerManager::sig_controlPlay);
        m_thread->start(QThread::InheritPriority);
    } else {
        delete m_thread; // stops it, also while it waits for an answer
        m_thread = nullptr;
        m_clock->reset(); // paused: the preview shows the play position again
        m_playing = false;
    }
}

void PlayerManager::onAudioFrames(const QList<AudioFrameData> &list, int64_t frame, int64_t fps,
                                  int64_t lastFrame)
{
    if (!m_thread)
        return;
    m_thread->onAudioFrames(list, frame, fps, lastFrame);
}
