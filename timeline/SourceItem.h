#pragma once
// One clip on a track: its record, published to its property map, and its item in
// the timeline scene (x = start, width = duration, in scene units).
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
    double width = 0;   // scene units
    double offsetX = 0; // in-point, scene units
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
    int64_t headTransFrames = 0;
    int64_t tailTransFrames = 0;

    virtual double sceneX() const = 0;
    int64_t start() const { return timeline::toFrames(sceneX()); }
    int64_t duration() const { return timeline::toFrames(width); }
    int64_t offset() const { return timeline::toFrames(offsetX); }
    void setSubtitle(const QColor &c, const QFont &f, const QString &text);
    // Next stacking value for a new clip of `kind`.
    static int nextZValue(uint32_t kind);
    // A stacking value read from a file: later new clips of `kind` go above it.
    static void noteZValue(uint32_t kind, int value);
    // The "source" map: track, position, width and in-point.
    bg::Value sourceValue(ClassifyItem *onTrack, double x, double w, double offset) const;
    // Stores every property of the clip's kind, without recording undo.
    void publishValues();

public slots:
    void slot_updateFromTransTime(int64_t frames) { tailTransFrames = frames; }
    void slot_updateToTransTime(int64_t frames) { headTransFrames = frames; }

signals:
    void sig_transLeftClicked(int clicks, SourceData *clip);
    void sig_transRightClicked(int clicks, SourceData *clip);
};

class SourceAnchor;

// A clip on a track, drawn in the timeline scene.
class SourceItem : public SourceData, public QGraphicsItem {
    Q_OBJECT
public:
    enum { Type = UserType + 1 };
    SourceItem(uint32_t kind, ClassifyItem *track);
    int type() const override { return Type; }

    double sceneX() const override { return pos().x(); }
    // Places the clip at a scene x on its track's row.
    void placeAt(double x);
    // Moves and resizes the clip in place (scene units), handles included.
    void setGeometry(double x, double newWidth, double newOffsetX);
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
    // Puts the item back where its stored "source" value says (after a gesture that
    // moved it on screen was called off).
    void restoreGeometry() { applyKey("source"); }
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
    SourceAnchor *m_left;
    SourceAnchor *m_right;
};
