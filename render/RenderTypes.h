#pragma once
// Frame requests between the player, export and recording threads, the render
// manager and the timeline, and the records the timeline hands the preview items.

#include "media/MediaTypes.h"

#include <QColor>
#include <QFont>
#include <QList>
#include <QMetaType>
#include <QRect>
#include <QRectF>
#include <QSize>
#include <QString>

#include <cstdint>

// Why the timeline moves: 0 a plain position change, 1 playback, 2 export, 3 recording.
enum EditType : int32_t { EDIT_NONE = 0, EDIT_PLAY = 1, EDIT_EXPORT = 2, EDIT_RECORD = 3 };
// Who requests: the playback thread asks with 1, the recording thread with 0.
enum MoveType : int32_t { MOVE_RECORD = 0, MOVE_PLAY = 1 };

// One source of a preview item's frame request.
struct FrameSource {
    int64_t time = 0;          // frames of 1/30 s from the start of the media file
    QString id;                // copied into the result, not interpreted
    float transparency = 1.0f; // 1 = opaque
    float temperature = 0, saturation = 0, hue = 0, brightness = 0, contrast = 0, highlight = 0;
    int32_t fitMode = 1; // 1 keeps the aspect ratio inside the target; otherwise stretch
    QString path;        // empty: no source
    QRect crop;          // in source pixels
    float x = 0, y = 0, width = 0, height = 0; // target, centre-origin scene pixels
    float rotation = 0;                        // radians
    QSize decodeSize; // decode at this size (the crop is then the whole); empty: as shown
};

// Decode values of VideoFrameData::decodeMask and show values of showMask.
enum : int32_t { DECODE_TO = 1, DECODE_CURRENT = 2, DECODE_FROM = 4 };
enum : int32_t { SHOW_CLIP = 1, SHOW_TRANSITION = 2 };

// What the timeline asks one visual track's preview item to show for one frame.
struct VideoFrameData {
    QString shader; // transition program, when one is active
    double progress = 0;
    int32_t decodeMask = 0;
    int32_t showMask = 0;
    FrameSource current, from, to;
};

// One decoded source ready to draw.
struct VFrameInfo {
    ff::VFramePtr frame;
    QRect crop;
    QString id;
    float transparency = 1.0f;
    float temperature = 0, saturation = 0, hue = 0, brightness = 0, contrast = 0, highlight = 0;
    int32_t fitMode = 1;
    float x = 0, y = 0, width = 0, height = 0;
    float rotation = 0;
};

// The decoded result of a VideoFrameData.
struct RenderParam {
    QString shader = QStringLiteral("rgba_base");
    double progress = 1.0;
    bool visible = false; // what the base item's apply shows
    VFrameInfo from, to, current;
    int64_t showMask = 0;
};

// What one visual track shows at a frame, as values: the preview layers place and
// feed the track's item from it.
struct TrackFrame {
    QString track;              // the track's uuid
    bool subtitleTrack = false; // the track's item draws text, not decoded pictures
    VideoFrameData request;     // picture and video tracks
    int64_t frame = -1;         // the timeline frame it describes
    bool playing = false;       // asked for by playback: shown when its sound is heard
    // The clip shown plainly, or the subtitle shown; empty when none.
    QString clip;
    QRectF placement; // the clip's "previewRect" (centre x, y and size)
    int rotate = 0;   // degrees
    int zValue = 0;   // order among the visual clips
    bool selected = false;
    // Subtitle tracks: the text and its look.
    QString text;
    QFont font;
    QColor color;
    int transparency = 255;
};

// One audible clip at a requested frame.
struct AudioFrameData {
    ff::Rational position; // seconds into the media file
    QString path;
    int32_t volume = 0; // 0 when muted
};

Q_DECLARE_METATYPE(EditType)
Q_DECLARE_METATYPE(MoveType)
Q_DECLARE_METATYPE(VFrameInfo)
Q_DECLARE_METATYPE(AudioFrameData)
Q_DECLARE_METATYPE(TrackFrame)

// Registers the types queued signals carry; called once before the application object.
void registerRenderMetaTypes();
