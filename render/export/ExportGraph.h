#pragma once
// The export's own composition: a scene of the project's size drawn at the output's
// size on a graphics device of the export's own, one item per visual track (made as
// the timeline state names them), and the read-back of each composed picture. Nothing
// of the preview's is touched: its scene, items, render thread and state stay as
// they are while an export runs.
// Lives on: the export's picture thread, with the export's device current there
// (made, fed, drawn and destroyed there).

#include "render/RenderTypes.h"

#include <QHash>
#include <QSet>
#include <QSize>
#include <QString>

#include <functional>
#include <memory>
#include <vector>

class ExportClipItem;
class GsDevice;
class GsScene;
class PreviewItem;

class ExportGraph {
public:
    // Where composed pictures go: `next` gives a buffer of at least `bytes` to read
    // into (null: one of the graph's own), `hand` takes a picture (RGBA rows `stride`
    // bytes apart), in order.
    struct Receiver {
        std::function<uint8_t *(size_t bytes)> next;
        std::function<void(const uint8_t *pixels, size_t bytes, int stride, int64_t timestampNs)>
            hand;
    };
    // Registers the programs on `device` (current on this thread) and makes the scene.
    ExportGraph(GsDevice &device, const QSize &sceneSize, const QSize &outputSize,
                Receiver receiver);
    ~ExportGraph();
    // False when the programs could not be built: nothing can be composed.
    bool isValid() const { return m_valid; }

    // Places every track's item as the frame says, decoding what it shows.
    void place(const QList<TrackFrame> &tracks);
    // Composes what was placed last and reads it back: handed at once on a software
    // rasteriser, one composition later on a GPU (flush() hands the one in flight).
    void compose(int64_t timestampNs);
    void flush();
    // Draws only the items of `tracks` (placed already) over a transparent picture of
    // the output's size and reads it back: premultiplied RGBA, rows width × 4 bytes
    // apart. The other items are hidden until they are placed again.
    bool composeAlone(const QSet<QString> &tracks, std::vector<uint8_t> &pixels);
    // The scene's drawn size now (the output's, unless the output has bars).
    QSize drawnSize() const;
    QSize outputSize() const { return m_outputSize; }

    // The item of a picture or video track (null for another or an unknown track).
    ExportClipItem *clipItem(const QString &track) const;
    // The item of the frame's track, made when it has none yet (null for a subtitle
    // track).
    ExportClipItem *clipItemFor(const TrackFrame &frame);
    // The item of any visual track (null for an unknown track).
    PreviewItem *item(const QString &track) const { return m_items.value(track); }
    GsScene *scene() const { return m_scene; }

private:
    class Readback;
    PreviewItem *itemFor(const TrackFrame &frame);

    GsDevice &m_device;
    GsScene *m_scene = nullptr;            // referenced
    QHash<QString, PreviewItem *> m_items; // referenced, by track uuid
    std::unique_ptr<Readback> m_readback;
    std::unique_ptr<Readback> m_alone; // composeAlone's, not attached
    std::vector<uint8_t> *m_aloneInto = nullptr;
    QSize m_outputSize;
    bool m_valid = false;
};
