#include "PlaybackRoute.h"

#include "PreviewLayers.h"
#include "TransPreviewItem.h"
#include "VideoPreviewItem.h"

PlaybackRoute::~PlaybackRoute()
{
    setItems({});
}

void PlaybackRoute::setItems(const QHash<QString, PreviewItem *> &items)
{
    for (PreviewItem *item : items)
        item->AddRef();
    QHash<QString, PreviewItem *> old;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        old.swap(m_items);
        m_items = items;
    }
    for (PreviewItem *item : qAsConst(old))
        item->Release();
}

void PlaybackRoute::setTimed(bool on)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_timed = on;
}

bool PlaybackRoute::deliver(const QList<TrackFrame> &frames)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!m_timed || frames.size() != m_items.size())
        return false;
    for (const TrackFrame &frame : frames) {
        PreviewItem *item = m_items.value(frame.track);
        if (!item)
            return false;
        if (frame.clip.isEmpty())
            continue; // an empty track keeps its order
        if (item->order() != frame.zValue)
            return false;
        if (auto *video = dynamic_cast<VideoPreviewItem *>(item))
            if (video->companion()->order() != frame.zValue)
                return false;
    }
    m_last = frames;
    for (const TrackFrame &frame : frames) {
        PreviewItem *item = m_items.value(frame.track);
        PreviewLayers::place(item, frame, true);
        if (!frame.subtitleTrack)
            static_cast<VideoPreviewItem *>(item)->scheduleFrameData(frame.request, frame.frame);
    }
    return true;
}

QList<TrackFrame> PlaybackRoute::last() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_last;
}

void PlaybackRoute::setLast(const QList<TrackFrame> &frames)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_last = frames;
}
