#include "PlayerThread.h"

#include "AudioMixerPlayer.h"
#include "DecodingTasks.h"
#include "PlaybackClock.h"

#include "bridge/SystemServices.h"

#include <memory>

PlayerThread::PlayerThread(std::shared_ptr<PlaybackClock> clock, QObject *parent)
    : QThread(parent), m_clock(std::move(clock))
{}

PlayerThread::~PlayerThread()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_stop = true;
        m_ready = true;
        m_wake.notify_all();
    }
    wait();
    // The loop's last step took the lock after everything it touched: taking it here
    // orders all of that before this object goes.
    std::lock_guard<std::mutex> finished(m_mutex);
}

void PlayerThread::onAudioFrames(const QList<AudioFrameData> &list, int64_t frame, int64_t fps,
                                 int64_t lastFrame)
{
    if (frame >= lastFrame) {
        emit sig_exit();
        return;
    }
    std::lock_guard<std::mutex> lock(m_mutex);
    m_pending = list;
    m_frame = frame;
    m_fps = fps;
    m_ready = true;
    m_wake.notify_all();
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
            std::unique_lock<std::mutex> lock(m_mutex);
            m_wake.wait(lock, [this] { return m_ready; });
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
        // The clock learns of the frame's sound as soon as the output has it; without
        // an output the play position itself is what is "heard".
        auto publish = [&] {
            if (m_clock)
                m_clock->publish(frame + 1, fps, mixer.queuedUs(),
                                 bg::SystemServices::monotonicMicros());
        };
        mixer.finish(AudioMixerPlayer::Consumer(), publish);
        if (!mixer.opened())
            publish();
        m_played.ref();
    }
    tasks.reset();
    mixer.close();
    std::lock_guard<std::mutex> done(m_mutex); // pairs with the destructor's
}
