#pragma once
// Open decoders kept from one request to the next: one task per media file,
// trimmed to exactly the files the latest request names.
// Lives on: the thread that owns the manager (a preview item's decode thread, the
// player thread or an export thread).

#include "media/FFDecoder.h"
#include "render/RenderTypes.h"

#include <QList>
#include <QSize>
#include <QString>

#include <memory>
#include <vector>

class VideoDecoderTask {
public:
    explicit VideoDecoderTask(const QString &path);
    ~VideoDecoderTask();
    const QString &path() const { return m_path; }
    bool isOpen() const { return m_decoder.isOpened(); }
    // The frame shown at `time` (frames of 1/30 s; negative reads as 0), at `size`
    // (empty: the size it is shown at).
    ff::VFramePtr frame(int64_t time, const QSize &size = QSize());
    static int liveCount();

private:
    QString m_path;
    ff::FFDecoder m_decoder;
};

class VideoTaskManager {
public:
    // Decodes what the request names: current, from, to (in that order).
    QList<VFrameInfo> fetch(const VideoFrameData &request);
    // Files with an open task after the last fetch.
    QStringList paths() const;
    void clear();

private:
    std::vector<std::unique_ptr<VideoDecoderTask>> m_used;
};

class AudioDecoderTask {
public:
    explicit AudioDecoderTask(const QString &path);
    ~AudioDecoderTask();
    const QString &path() const { return m_path; }
    // Adds the sound from `position` (seconds into the file) to the shared mixer at
    // `volume`, as long as the mixer's range and played from its start.
    void decode(const ff::Rational &position, int volume);
    static int liveCount();

private:
    QString m_path;
    ff::FFDecoder m_decoder;
    int m_audioStreams = 0;
};

class AudioTaskManager {
public:
    // Decodes every entry into the shared mixer; the list is consumed.
    void decode(QList<AudioFrameData> &list);
    QStringList paths() const;

private:
    std::vector<std::unique_ptr<AudioDecoderTask>> m_tasks;
};
