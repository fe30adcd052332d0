#pragma once
// Transitions: the data joining two clips (or sitting at one clip's head or tail)
// and its item in the timeline scene.
// Lives on: main thread.

#include "undo/ZuObject.h"

#include <QGraphicsItem>
#include <QObject>
#include <QPointer>
#include <QString>

class SourceData;
class SourceItem;
class TimelineDocument;

// What a transition is: its program, length and ratio, and the clips it joins,
// named by uuid (a clip off the timeline, removed or undone, joins nothing).
class TransitionData {
public:
    explicit TransitionData(const TimelineDocument *document) : m_document(document) {}

    QString name;
    int64_t durationMs = 2000;
    int ratio = 5;           // tenths of the transition before the cut
    QString fromUuid;        // the clip before the cut (empty: none)
    QString toUuid;          // the clip after it (empty: none)
    int64_t recordedGap = 0; // frames from the end of "from" to the start of "to"
    int64_t startFrame = 0;
    int64_t endFrame = 0;

    // The joined clips as they are on the timeline now, or null.
    SourceItem *from() const;
    SourceItem *to() const;
    bool hasFrom() const { return !fromUuid.isEmpty(); }
    bool hasTo() const { return !toUuid.isEmpty(); }
    // True when a clip it names is not on the timeline.
    bool lostAClip() const { return (hasFrom() && !from()) || (hasTo() && !to()); }

    void setClips(const SourceItem *fromClip, const SourceItem *toClip);
    // Places the transition and tells its clips their before and after lengths.
    void recompute();
    // Before and after lengths from the duration and ratio, without moving; never
    // more than the clips can give.
    void updateLengths();
    // The longest duration (ms) the clips can give at this ratio: the part before
    // the cut within the outgoing clip, the part after it within the incoming one.
    int64_t maxDurationMs() const;
    // Tells the clips on the timeline their marker lengths (0 when the transition
    // is gone).
    void sendLengths(bool present) const;

private:
    // The longest length in frames, up to `wanted`, whose parts fit the clips.
    int64_t fittingFrames(int64_t wanted) const;
    const TimelineDocument *m_document;
    int64_t m_before = 0;
    int64_t m_after = 0;
};

class TransItem : public QObject, public zua::ZuObject, public QGraphicsItem {
    Q_OBJECT
public:
    enum { Type = UserType + 2 };
    // The transition of `model`, drawn in the scene attached to it.
    explicit TransItem(TimelineDocument *model);
    int type() const override { return Type; }

    TransitionData *data() { return &m_data; }
    // The "trans" property from the data.
    bg::Value transValue() const;
    void place();

    QRectF boundingRect() const override;
    // Draws nothing: the clips draw the markers.
    void paint(QPainter *painter, const QStyleOptionGraphicsItem *option, QWidget *widget) override;
    // A click on the transition's marker in `clicked` (its head or tail) opens the
    // transition panel.
    void showPanel(int clicks, const SourceData *clicked);
    // The map the transition panel starts from, for a click on `clicked`.
    bg::ValueMap panelValues(const SourceData *clicked) const;
    // An edit from the transition panel: "type", "duration" (ms) and "value" (the
    // ratio) set the program, duration and ratio as one undo step.
    void applyPanelEdit(const bg::ValueMap &values);

    void onChange(int kind, const bg::Value &arg) override;

private:
    // The scene of the document's view, when one is attached.
    QGraphicsScene *documentScene() const;
    QPointer<TimelineDocument> m_model;
    TransitionData m_data;
    QString m_clicked; // the uuid of the clip whose marker opened the panel
};
