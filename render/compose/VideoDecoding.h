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

#include <functional>
#include <memory>
#include <vector>

// How the preview decodes (the export decodes every picture as shown, from the
// original file).
struct DecodeFit {
    // Pixels the scene is drawn at per scene unit: each source is converted at the
    // size it is drawn at (never larger than it is). 0: at the size it is shown at.
    double pixelsPerUnit = 0;
    // Only the crop's part is converted (nobody needs the rest of the picture).
    bool partOnly = false;
    // A material's proxy, when one is ready, is decoded instead of the original.
    bool useProxies = false;
    // Asked before a decoded picture is converted: false drops it.
    std::function<bool()> stillWanted;
    // 601 or 709: a source with a decodeSize comes in the encoder's YUV when it can
    // (see ff::VideoRequest::yuvMatrix), its crop alone when partOnly.
    int yuvMatrix = 0;
};

class VideoDecoderTask {
public:
    explicit VideoDecoderTask(const QString &path, bool useProxy = false);
    ~VideoDecoderTask();
    const QString &path() const { return m_path; }
    // A proxy was made or dropped since this task opened its file.
    bool proxiesChanged() const;
    // The frame shown at `time` (frames of 1/30 s; negative reads as 0), at `size`
    // (empty: the size it is shown at).
    ff::VFramePtr frame(int64_t time, const QSize &size = QSize());
    // The source's picture as `fit` wants it; `crop` becomes the part of the
    // returned picture to draw (empty: all of it). Null when dropped or unreadable.
    ff::VFramePtr frame(const FrameSource &source, const DecodeFit &fit, QRect *crop);
    static int liveCount();

private:
    QString m_path;
    bool m_useProxy = false;
    uint64_t m_proxyGeneration = 0;
    QSize m_shown;        // the material's picture as shown
    QSize m_decodedShown; // the decoded file's (a proxy is smaller)
    ff::FFDecoder m_decoder;
};

class VideoTaskManager {
public:
    // Decodes what the request names: current, from, to (in that order).
    QList<VFrameInfo> fetch(const VideoFrameData &request, const DecodeFit &fit = DecodeFit());
    // Files with an open task after the last fetch.
    QStringList paths() const;
    void clear();

private:
    std::vector<std::unique_ptr<VideoDecoderTask>> m_used;
};
