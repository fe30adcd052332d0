#pragma once
// A video or picture track's item in an export's own scene: each frame's request is
// decoded at once, every picture as shown from the original file (a clip that fills
// the scene at the scene's drawn size, scaled in the decoder's one pass), and drawn
// from the next tick.
// Lives on: the export's picture thread (made, fed, drawn and released there).

#include "render/compose/ClipItem.h"
#include "render/compose/VideoDecoding.h"

#include <QHash>

class ExportClipItem : public ClipItem {
public:
    ExportClipItem(uint32_t sceneWidth, uint32_t sceneHeight);

    // Decodes what `request` shows and shows it (the clip and the transition).
    void show(const VideoFrameData &request);
    // The decoders this track keeps open (the plain path decodes with them too).
    VideoTaskManager &decoders() { return m_tasks; }
    // Whether `source` (its crop, or all of it) drawn upright at the scene's centre
    // covers the scene exactly.
    bool fillsScene(const FrameSource &source);
    // The size to decode a source at when all of it fills the scene as drawn now
    // (empty: the size it is shown at).
    QSize fillingSize(const FrameSource &source);

private:
    // The source's picture as shown, read once per file for the run (the export's
    // files are those of the timeline state it took).
    QSize shownSize(const QString &path);
    VideoTaskManager m_tasks;
    QHash<QString, QSize> m_shownSizes;
};
