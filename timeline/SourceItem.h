#pragma once
// One clip on a track: its record (frames), published to its property map, and its
// item in the timeline scene, which takes its place from the record.
// Lives on: main thread.

#include "TimelineTypes.h"
#include "undo/ZuObject.h"

#include <QColor>
#include <QFont>
#include <QGraphicsItem>
#include <QImage>
#include <QObject>
#include <QRect>
#include <QSize>

class ClassifyItem;

// The record of a clip (a "source" on the timeline): its undoable properties.
class SourceData : public QObject, public zua::ZuObject {
    Q_OBJECT
public:
    uint32_t kind = CT_NONE;
    ClassifyItem *track = nullptr;
    // Where the clip starts on the timeline, how long it plays and where in its
    // material it begins, in frames: the truth the item and the engines follow.
    int64_t startFrame = 0;
    int64_t durationFrames = 0;
    int64_t offsetFrames = 0;
    int64_t fullLength = 0;
    QString path;
    QString uuid;
    QRectF previewRect;
    int rotate = 0; // degrees
    int transparency = 255;
    int stacking = 0; // order value among visual clips
    int volume = 128;
    bool mute = false;
    QColor color;
    QFont font;
    QString content;
    QRect clipRect;
    QSize sourceSize;
    int stretch = 1;
    bool valid = true;
    int temperature = 0, saturation = 0, hue = 0, contrast = 0, bright = 0, highlight = 0;
    // Lengths of the transitions at the clip's head and tail (its markers), told by
    // the transitions.
    int64_t headTransFrames = 0;
    int64_t tailTransFrames = 0;

    int64_t start() const { return startFrame; }
    int64_t duration() const { return durationFrames; }
    int64_t offset() const { return offsetFrames; }
    int64_t end() const { return startFrame + durationFrames; }
    void setSubtitle(const QColor &c, const QFont &f, const QString &text);
    // Next stacking value for a new clip of `kind`.
    static int nextZValue(uint32_t kind);
    // A stacking value read from a file: later new clips of `kind` go above it.
    static void noteZValue(uint32_t kind, int value);
    // The "source" map of a placement: the track by uuid, and start, duration and
    // in-point written in scene units (frames × the frame width).
    static bg::Value sourceValue(const ClassifyItem *onTrack, int64_t start, int64_t duration,
                                 int64_t offset);
    // The clip's present "source" map.
    bg::Value currentSource() const
    {
        return sourceValue(track, startFrame, durationFrames, offsetFrames);
    }
    // Stores every property of the clip's kind, without recording undo.
    void publishValues();
};

class SourceAnchor;

// A clip on a track, drawn in the timeline scene.
class SourceItem : public SourceData, public QGraphicsItem {
    Q_OBJECT
public:
    enum { Type = UserType + 1 };
    SourceItem(uint32_t kind, ClassifyItem *track);
    int type() const override { return Type; }

    // Puts the item where its record says: x from the start frame, y on its track's
    // row, width from the duration (the gesture's span, if any, is dropped).
    void followRecord();
    // While a clip is dragged or trimmed the item shows where the gesture would put
    // it, without changing the record; followRecord() ends that.
    void showSpan(int64_t start, int64_t duration, int64_t offset);
    void showMovedTo(const QPointF &scenePos);
    bool showsGesture() const { return m_shown; }
    // The span as drawn (the record's, or a trim gesture's), in frames.
    int64_t shownStart() const { return m_shown ? m_shownStart : startFrame; }
    int64_t shownDuration() const { return m_shown ? m_shownDuration : durationFrames; }
    int64_t shownOffset() const { return m_shown ? m_shownOffset : offsetFrames; }
    // Drawn width in scene units.
    double sceneWidth() const { return timeline::toScene(shownDuration()); }
    // Row height of the clip's kind at the display scale.
    double height() const;

    // Look: the fill colour follows the kind (gray when the file is missing); a
    // caller may choose another for a valid clip.
    QColor fillColor() const { return m_fill; }
    void setColor(const QColor &colour);
    void setValid(bool v);
    // Thumbnail written by the material library beside the temporary files.
    void loadThumbnail();
    QString label() const;
    SourceAnchor *anchor(bool right) const { return right ? m_right : m_left; }
    // False for a clip on a track whose group is collapsed (it is hidden there).
    bool onAnOpenRow() const;
    // Moves the trim handles to the clip's edges.
    void updateAnchors();

    // Values for the property panels.
    bg::ValueMap panelValues() const;
    // An edit from the clip's panel: `key` names the one property it changed, read
    // from `values`. Each is one undo step, except volume and mute (not recorded);
    // an unknown or empty key changes nothing.
    void applyPanelEdit(const bg::ValueMap &values, const std::string &key);
    int menuType() const;

    QRectF boundingRect() const override;
    QPainterPath shape() const override;
    void paint(QPainter *painter, const QStyleOptionGraphicsItem *option, QWidget *widget) override;

    // Undo notifications: 1 re-inserts at {"col"}, 2 takes the clip off its track,
    // 3 applies the changed property.
    void onChange(int kind, const bg::Value &arg) override;

protected:
    void hoverEnterEvent(QGraphicsSceneHoverEvent *event) override;
    void hoverLeaveEvent(QGraphicsSceneHoverEvent *event) override;
    void mousePressEvent(QGraphicsSceneMouseEvent *event) override;
    void mouseDoubleClickEvent(QGraphicsSceneMouseEvent *event) override;
    QVariant itemChange(GraphicsItemChange change, const QVariant &value) override;

private:
    void applyKey(const std::string &key);
    // Stretch mode, then the one-shot size command: 1 the material's size, 2 and 3
    // the project's frame, each at the centre and unturned, as one "stretch" step.
    void applySizeCommand(int mode, int command);
    void refreshFill();
    void clicked(QGraphicsSceneMouseEvent *event, int clicks);

    QColor m_fill;
    bool m_customFill = false;
    bg::Value m_volumeBeforeDrag; // while the volume slider is held: where it started
    QImage m_thumbnail;
    bool m_thumbnailScaled = false;
    // The label as last drawn, elided to the room it had (redone when the room changes).
    QString m_labelFrom, m_labelText;
    int m_labelRoom = -1;
    bool m_hover = false;
    QString m_gifName;
    bool m_shown = false; // a trim gesture's span is drawn
    int64_t m_shownStart = 0, m_shownDuration = 0, m_shownOffset = 0;
    SourceAnchor *m_left;
    SourceAnchor *m_right;
};
