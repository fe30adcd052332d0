#pragma once
// The way played frames reach the preview without the main thread: the player
// hands each frame's pictures to the tracks' items here, which queue them to be
// shown when the frame is heard. Only what needs the main thread (a track that has
// no item yet or lost it, a changed stacking order, pictures shown at once) is
// refused and goes there instead; the main thread otherwise hears only where the
// playhead is.
// Lives on: the main thread sets the items (PreviewLayers); the player thread
// delivers; one mutex, under which the items are referenced while held.

#include "render/RenderTypes.h"

#include <QHash>
#include <QList>
#include <QString>

#include <mutex>

class PreviewItem;

class PlaybackRoute {
public:
    PlaybackRoute() = default;
    ~PlaybackRoute();
    PlaybackRoute(const PlaybackRoute &) = delete;
    PlaybackRoute &operator=(const PlaybackRoute &) = delete;

    // The tracks' items now (main thread); each is referenced until replaced.
    void setItems(const QHash<QString, PreviewItem *> &items);
    // While pictures are shown as soon as they are decoded, nothing is delivered here.
    void setTimed(bool on);
    // Player thread: queues each track's picture on its item. False when the main
    // thread must place them.
    bool deliver(const QList<TrackFrame> &frames);
    // What the tracks showed at the last frame played or placed.
    QList<TrackFrame> last() const;
    void setLast(const QList<TrackFrame> &frames);

private:
    mutable std::mutex m_mutex;
    QHash<QString, PreviewItem *> m_items;
    QList<TrackFrame> m_last;
    bool m_timed = true;
};
