#pragma once
// Gives every visual track of the timeline its preview item in the render
// manager's scene, and hands each item what its track shows at a frame. What the
// timeline shows at a frame lists every visual track: a track that appears gets
// an item, one that is gone loses it.
// Lives on: main thread; while playing, the player thread queues pictures on the
// items through the route (PlaybackRoute) and only what that refuses comes here.

#include "render/RenderTypes.h"

#include <QHash>
#include <QList>
#include <QObject>

#include <memory>

class PlaybackRoute;
class PreviewItem;
class RenderManager;

class PreviewLayers : public QObject {
    Q_OBJECT
public:
    explicit PreviewLayers(RenderManager *render, QObject *parent = nullptr);
    ~PreviewLayers() override;

    // The item of a track (by uuid), or null.
    PreviewItem *layerOf(const QString &track) const { return m_layers.value(track); }

    // Places a track's item as the frame says (position, size, rotation, selection,
    // order; a subtitle's text and visibility). With `whenHeard` the item applies
    // its place and look itself once the frame is heard. True when its order value
    // changed.
    static bool place(PreviewItem *layer, const TrackFrame &frame, bool whenHeard = false);
    // While playing, each picture is shown when its sound is heard (on by default);
    // off, it is shown as soon as it is decoded, ahead of the sound by the
    // output's queue. The playback benchmark compares the two.
    void setFollowHeardSound(bool on);
    // The way the player hands its frames to the items without this thread.
    std::shared_ptr<PlaybackRoute> route() const { return m_route; }

public slots:
    void slot_trackFrames(const QList<TrackFrame> &frames);

private:
    // Makes the items for tracks that have none and drops those of tracks gone.
    void sync(const QList<TrackFrame> &frames);
    // Hands each item its frame; playback frames are shown when heard if `timed`.
    void show(const QList<TrackFrame> &frames, bool timed);
    void dropAll();
    RenderManager *m_render;
    QHash<QString, PreviewItem *> m_layers; // referenced while held
    // Also holds the last frame played, re-applied when the scene is replaced.
    std::shared_ptr<PlaybackRoute> m_route;
    bool m_followHeardSound = true;
};
