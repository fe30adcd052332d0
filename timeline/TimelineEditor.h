#pragma once
// The timeline's whole-clip edits on the model, each one undoable step: splitting
// a clip at a frame, removing clips (and the transitions that lose a side), moving
// a visual clip above or below the clips it overlaps. Needs no widget: the view
// checks the selection and asks the user first, then calls these.
// Lives on: main thread.

#include <QList>
#include <QString>

#include <cstdint>

class SourceItem;
class TimelineDocument;

class TimelineEditor {
public:
    explicit TimelineEditor(TimelineDocument *model) : m_model(model) {}

    // Cuts the clip at `frame` (strictly inside it): the clip keeps the left part, a
    // new selected clip the right part, and a transition at the clip's tail moves
    // to the new clip. Returns the new clip, or null when the frame is not inside.
    SourceItem *split(SourceItem *clip, int64_t frame);
    // `sequenceName` names the undo step.
    void remove(const QList<SourceItem *> &clips, const char *sequenceName);
    // Gives the clip the order value just above (or below) every clip of its family
    // (pictures and videos, or subtitles) that plays at `frame` and overlaps it in
    // the picture.
    void restack(SourceItem *clip, bool up, int64_t frame);
    // Joins the clips a transition was dropped over (video and picture clips in the
    // drop band, whose centre is at scene x `bandCentreX`): with one clip on each of
    // several tracks, the first and the last in time; else on each track the clips
    // two by two in start order, and a clip left over gets the transition at its tail
    // (band centre right of its middle) or its head. A pair that already has a
    // transition gets this one's program instead. A transition only joins clips
    // that meet: a later clip with empty frames before it is moved back to meet the
    // earlier one (in the same step); when another clip lies between, nothing
    // changes and the answer is false. One step.
    bool joinWithTransition(const QString &name, const QList<SourceItem *> &clips,
                            double bandCentreX);

private:
    TimelineDocument *m_model;
};
