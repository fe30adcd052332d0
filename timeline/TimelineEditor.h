#pragma once
// The timeline's edit requests: moving, trimming, splitting and removing clips,
// joining them with a transition, restacking. Each checks first, then either makes
// the whole change as one undo step or changes nothing and says why (in `why`,
// for the log). Needs no widget: views turn gestures into requests and tell the
// user what the answer means.
// Lives on: main thread.

#include <QList>
#include <QString>
#include <QVector>

#include <cstdint>

class ClassifyItem;
class SourceItem;
class TimelineDocument;

class TimelineEditor {
public:
    explicit TimelineEditor(TimelineDocument *model) : m_model(model) {}

    // Where a move puts one clip: a track of its kind and a start frame.
    struct Move {
        SourceItem *clip;
        ClassifyItem *track;
        int64_t start;
    };
    // Moves the clips (a start before 0 becomes 0), then pushes overlapping clips of
    // the tracks involved to the right and drops transitions whose clips no longer
    // meet. Refused when a clip is not on the timeline or a track is not one of its
    // kind. Moves that change nothing are left out; none at all records nothing.
    bool requestMove(const QVector<Move> &moves, QString *why = nullptr);
    // Gives the clip a new start, duration and in-point (a trim of either edge).
    // Refused when it would last no frame, start before 0, or reach before the start
    // or past the end of its material (pictures and subtitles have no in-point).
    bool requestTrim(SourceItem *clip, int64_t start, int64_t duration, int64_t offset,
                     QString *why = nullptr);
    // Cuts the clip at `frame` (strictly inside it): the clip keeps the left part, a
    // new selected clip the right part, and a transition at the clip's tail moves
    // to the new clip. Returns the new clip, or null when the frame is not inside.
    SourceItem *requestSplit(SourceItem *clip, int64_t frame, QString *why = nullptr);
    // Takes the clips off the timeline with the transitions that lose a side;
    // `sequenceName` names the undo step. Refused when a clip is not on the timeline.
    bool requestRemove(const QList<SourceItem *> &clips, const char *sequenceName,
                       QString *why = nullptr);
    // Gives the clip the order value just above (or below) every clip of its family
    // (pictures and videos, or subtitles) that plays at `frame` and overlaps it in
    // the picture.
    void restack(SourceItem *clip, bool up, int64_t frame);
    // Joins the clips a transition was dropped over (video and picture clips in the
    // drop band, whose centre is at frame `bandCentre`): with one clip on each of
    // several tracks, the first and the last in time; else on each track the clips
    // two by two in start order, and a clip left over gets the transition at its tail
    // (band centre right of its middle) or its head. A pair that already has a
    // transition gets this one's program instead. A transition only joins clips
    // that meet: a later clip with empty frames before it is moved back to meet the
    // earlier one (in the same step); when another clip lies between, nothing
    // changes and the answer is false. One step.
    bool requestTransition(const QString &name, const QList<SourceItem *> &clips, double bandCentre,
                           QString *why = nullptr);

private:
    bool onTimeline(const SourceItem *clip) const;
    TimelineDocument *m_model;
};
