#pragma once
// A copy, as plain values, of what the frame evaluator reads of the timeline:
// tracks, their clips and the transitions between clips. Made on the main thread
// from the model; never changed afterwards, so any thread may read it.
// Lives on: made on the main thread, read on any.

#include "TimelineTypes.h"

#include <QColor>
#include <QFont>
#include <QRect>
#include <QRectF>
#include <QString>
#include <QVector>

#include <cstdint>
#include <memory>

class TimelineDocument;

struct ClipState {
    QString uuid;
    QString path;
    int64_t start = 0, duration = 0, offset = 0; // frames
    bool valid = true;
    bool selected = false;
    int stretch = 1;
    QRect crop;
    QRectF placement; // centre x, y and size in scene pixels
    int rotate = 0;   // degrees
    int transparency = 255;
    int stacking = 0;
    int volume = 128;
    bool mute = false;
    int temperature = 0, saturation = 0, hue = 0, contrast = 0, bright = 0, highlight = 0;
    // Subtitles.
    QString text;
    QFont font;
    QColor color;

    // True when the clip plays at frame F (start <= F < start + duration).
    bool covers(int64_t frame) const { return frame >= start && frame < start + duration; }
};

struct TrackState {
    QString uuid;
    uint32_t kind = CT_NONE;
    QVector<ClipState> clips; // in timeline order
};

// A clip of a transition, by its track's and its own index; -1 for none.
struct ClipRef {
    int track = -1;
    int clip = -1;
    bool isNull() const { return track < 0; }
};

struct TransitionState {
    QString name; // the transition's program
    int64_t startFrame = 0, endFrame = 0;
    ClipRef from, to;
};

struct TimelineSnapshot {
    QVector<TrackState> tracks; // in group order: each group, then its tracks
    QVector<TransitionState> transitions;
    int64_t end = 0; // the end of the last clip (transitions lie within their clips)

    const ClipState *clip(ClipRef ref) const
    {
        return ref.isNull() ? nullptr : &tracks[ref.track].clips[ref.clip];
    }
    // The timeline as the model holds it now (main thread).
    static std::shared_ptr<const TimelineSnapshot> of(const TimelineDocument *model);
};
