#include "PlayerThread.h"

#include "common/FrameRate.h"
#include "common/SoundFormat.h"

#include "AudioDecoding.h"
#include "AudioMixerPlayer.h"
#include "PlaybackClock.h"
#include "render/compose/PlaybackRoute.h"

#include "bridge/SystemServices.h"

#include <algorithm>
#include <memory>

PlayerThread::PlayerThread(std::shared_ptr<TimelineFeed> timeline, int64_t fromFrame,
                           std::shared_ptr<PlaybackClock> clock,
                           std::shared_ptr<PlaybackRoute> route, QObject *parent)
    : QThread(parent), m_timeline(std::move(timeline)), m_from(fromFrame),
      m_clock(std::move(clock)), m_route(std::move(route))
{}

PlayerThread::~PlayerThread()
{
    m_stop.request();
    wait();
    // The loop's last step met the signal after everything it touched: meeting it
    // here orders all of that before this object goes.
    m_stop.meet();
}

std::deque<PlayerThread::Played> PlayerThread::takePlayed()
{
    m_notified = false; // a frame played from now on is told again
    std::lock_guard<std::mutex> lock(m_playedMutex);
    std::deque<Played> out;
    out.swap(m_playedFrames);
    return out;
}

void PlayerThread::run()
{
    AudioMixerPlayer &mixer = AudioMixerPlayer::instance();
    auto tasks = std::make_unique<AudioTaskManager>(mixer);
    mixer.open(soundformat::kChannels, soundformat::kSampleRate, ff::SAMPLE_S16, true);
    constexpr int64_t fps = timebase::kFps;
    int64_t frame = m_from;
    while (true) {
        if (m_stop.requested())
            break;
        // The newest state: an edit made while playing is heard from the next frame.
        const TimelineState timeline = m_timeline ? m_timeline->current() : nullptr;
        const int64_t last = timeline ? timeline->lastFrame() : -1;
        const int64_t seek = m_seek.exchange(-1);
        if (seek >= 0)
            frame = seek;
        frame = std::min(frame + 1, last + 1);
        QList<TrackFrame> pictures = timeline ? timeline->frameAt(frame) : QList<TrackFrame>();
        for (TrackFrame &picture : pictures) {
            picture.frame = frame;
            picture.playing = true;
        }
        {
            // Once a frame waits for the main thread, the later ones wait behind it,
            // so that each item still gets its pictures in order.
            std::lock_guard<std::mutex> lock(m_playedMutex);
            if (!m_playedFrames.empty() || !m_route || !m_route->deliver(pictures))
                m_playedFrames.push_back({frame, std::move(pictures)});
        }
        m_lastPlayed = frame;
        if (!m_notified.exchange(true))
            emit sig_framesPlayed();
        if (frame >= last) {
            emit sig_exit();
            m_stop.wait(); // until the owner stops the thread
            break;
        }
        // Mixing and the pacing sleep run without the lock, so a stop never waits
        // for them.
        mixer.begin(frame, 1, fps);
        QList<AudioFrameData> sound = timeline->audioAt(frame, fps);
        tasks->decode(sound);
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
    }
    tasks.reset();
    mixer.close();
    m_stop.meet(); // pairs with the destructor's
}
