#pragma once
// Open sound decoders kept from one frame to the next: one task per media file,
// trimmed to exactly the files the latest frame names; each mixes into its owner's
// mixer (the player's, or an export's own).
// Lives on: the thread that owns the manager (the player thread or the export's
// sound thread).

#include "media/FFDecoder.h"
#include "render/RenderTypes.h"

class AudioMixerPlayer;

#include <QList>
#include <QSize>
#include <QString>

#include <memory>
#include <vector>

class AudioDecoderTask {
public:
    AudioDecoderTask(const QString &path, AudioMixerPlayer &mixer);
    ~AudioDecoderTask();
    const QString &path() const { return m_path; }
    // Adds the sound from `position` (seconds into the file) to the mixer at
    // `volume`, as long as the mixer's range and played from its start.
    void decode(const ff::Rational &position, int volume);
    static int liveCount();

private:
    QString m_path;
    AudioMixerPlayer &m_mixer;
    ff::FFDecoder m_decoder;
    int m_audioStreams = 0;
};

class AudioTaskManager {
public:
    explicit AudioTaskManager(AudioMixerPlayer &mixer) : m_mixer(mixer) {}
    // Decodes every entry into the mixer; the list is consumed.
    void decode(QList<AudioFrameData> &list);
    QStringList paths() const;

private:
    AudioMixerPlayer &m_mixer;
    std::vector<std::unique_ptr<AudioDecoderTask>> m_tasks;
};
