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

void PlayerManager::setPlaying(bool playing, int64_t fromFrame)
{
    if (playing == m_playing)
        return;
    if (playing) {
        m_playing = true;
        m_clock->reset();
        if (m_timeline)
            m_timeline->fresh(); // the edits made just before are heard
        m_thread = new PlayerThread(m_timeline, fromFrame, m_clock, m_route);
        // A frame still queued from a stopped thread must not move the timeline.
        PlayerThread *thread = m_thread;
        connect(m_thread, &PlayerThread::sig_framesPlayed, this, [this, thread] {
            if (m_thread != thread)
                return;
            for (const PlayerThread::Played &played : thread->takePlayed())
                emit sig_picturesToPlace(played.pictures);
            emit sig_framePlayed(thread->lastPlayed());
        });
        connect(m_thread, &PlayerThread::sig_exit, this, [this, thread] {
            if (m_thread == thread)
                emit sig_controlPlay();
        });
        m_thread->start(QThread::InheritPriority);
    } else {
        delete m_thread; // stops it promptly
        m_thread = nullptr;
        m_clock->reset(); // paused: the preview shows the play position again
        m_playing = false;
    }
}

void PlayerManager::seek(int64_t frame)
{
    if (m_thread)
        m_thread->seek(frame);
}
