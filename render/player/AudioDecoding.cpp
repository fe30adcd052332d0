#include "AudioDecoding.h"

#include "AudioMixerPlayer.h"

#include "bridge/Logger.h"
#include "media/MovieInfo.h"

#include <algorithm>
#include <atomic>

namespace {
std::atomic<int> g_audioTasks{0};
} // namespace

AudioDecoderTask::AudioDecoderTask(const QString &path, AudioMixerPlayer &mixer)
    : m_path(path), m_mixer(mixer)
{
    ++g_audioTasks;
    BG_LOG_D("Audio DecoderTask");
    const ff::MovieCtx *movie = ff::getMovieInfo(path.toUtf8().constData());
    if (movie)
        for (const ff::StreamCtx &s : movie->streams)
            m_audioStreams += s.kind == ff::StreamKind::Audio;
    if (m_audioStreams > 0) {
        const ff::AudioMixer::Format f = m_mixer.format();
        const bool opened = m_decoder.open(*movie->audioStream(), f.sampleRate, f.channels);
        BG_LOG_D("Success: %d", int(opened));
    }
}

AudioDecoderTask::~AudioDecoderTask()
{
    BG_LOG_D("~Audio DecoderTask");
    m_decoder.close();
    --g_audioTasks;
}

int AudioDecoderTask::liveCount()
{
    return g_audioTasks;
}

void AudioDecoderTask::decode(const ff::Rational &position, int volume)
{
    if (m_audioStreams <= 0 || !m_decoder.isOpened())
        return;
    // Exactly as many samples as the mixer's range holds, so that consecutive ranges
    // tile the file without a gap or a repeat whatever the clip's offset.
    AudioMixerPlayer &mixer = m_mixer;
    const int rate = mixer.format().sampleRate;
    const int64_t first = position.toSamples(rate);
    const ff::AFramePtr slice = m_decoder.getAudioFrame(
        {ff::Rational(first, rate), ff::Rational(first + mixer.rangeSamples(), rate)});
    if (slice)
        mixer.add(this, *slice, volume);
}

void AudioTaskManager::decode(QList<AudioFrameData> &list)
{
    for (auto it = m_tasks.begin(); it != m_tasks.end();) {
        auto entry = std::find_if(list.begin(), list.end(),
                                  [&](const AudioFrameData &a) { return a.path == (*it)->path(); });
        if (entry == list.end()) {
            it = m_tasks.erase(it);
            continue;
        }
        (*it)->decode(entry->position, entry->volume);
        list.erase(entry);
        ++it;
    }
    for (const AudioFrameData &entry : list) {
        m_tasks.push_back(std::make_unique<AudioDecoderTask>(entry.path, m_mixer));
        m_tasks.back()->decode(entry.position, entry.volume);
    }
    list.clear();
}

QStringList AudioTaskManager::paths() const
{
    QStringList out;
    for (const auto &t : m_tasks)
        out << t->path();
    return out;
}
