#pragma once
// Transitions: the data joining two clips (or sitting at one clip's head or tail)
// and its item in the timeline scene.
// Lives on: main thread.

#include "undo/ZuObject.h"

#include <QGraphicsItem>
#include <QObject>
#include <QPointer>

class SourceData;
class SourceItem;
class TimelineDocument;

class TransitionData : public QObject {
    Q_OBJECT
public:
    QString name;
    int64_t durationMs = 2000;
    int ratio = 5; // tenths of the transition before the cut
    SourceItem *from = nullptr;
    SourceItem *to = nullptr;
    double recordedGap = 0; // scene units, end of "from" to start of "to"
    int64_t startFrame = 0;
    int64_t endFrame = 0;

    void setClips(SourceItem *fromClip, SourceItem *toClip);
    // Places the transition and tells its clips their before and after lengths.
    void recompute();
    // Before and after lengths from the duration and ratio, without moving; never
    // more than the clips can give.
    void updateLengths();
    // The longest duration (ms) the clips can give at this ratio: the part before
    // the cut within the outgoing clip, the part after it within the incoming one.
    int64_t maxDurationMs() const;
    // Tells the clips their lengths again (or 0 when the transition is gone).
    void sendLengths(bool present);

signals:
    void sig_updateFromTransTime(int64_t frames);
    void sig_updateToTransTime(int64_t frames);

private:
    // The longest length in frames, up to `wanted`, whose parts fit the clips.
    int64_t fittingFrames(int64_t wanted) const;
    int64_t m_before = 0;
    int64_t m_after = 0;
};

class TransItem : public QObject, public zua::ZuObject, public QGraphicsItem {
    Q_OBJECT
public:
    enum { Type = UserType + 2 };
    // The transition of `model`, drawn in the model's scene.
    explicit TransItem(TimelineDocument *model);
    int type() const override { return Type; }

    TransitionData *data() { return &m_data; }
    // The "trans" property from the data.
    bg::Value transValue() const;
    void place();

    QRectF boundingRect() const override;
    // Draws nothing: the clips draw the markers.
    void paint(QPainter *painter, const QStyleOptionGraphicsItem *option, QWidget *widget) override;
    // Listens to the markers of its clips (call after the clips are set).
    void connectClips();
    // The map the transition panel starts from, for a click on `clicked`.
    bg::ValueMap panelValues(const SourceData *clicked) const;
    // An edit from the transition panel: "type", "duration" (ms) and "value" (the
    // ratio) set the program, duration and ratio as one undo step.
    void applyPanelEdit(const bg::ValueMap &values);

    void onChange(int kind, const bg::Value &arg) override;

public slots:
    void slot_transLeftClicked(int times, SourceData *clip);
    void slot_transRightClicked(int times, SourceData *clip);

private:
    QPointer<TimelineDocument> m_model;
    QPointer<QGraphicsScene> m_scene;
    TransitionData m_data;
    QPointer<SourceData> m_clicked; // the clip whose marker opened the panel
};
