#pragma once
// Open video decoders kept from one frame request to the next: one task per media
// file, trimmed to exactly the files the latest request names.
// Lives on: the thread that owns the manager (a preview item's decode thread or
// the export's picture thread).

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
