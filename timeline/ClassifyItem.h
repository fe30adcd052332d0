#pragma once
// A node of the timeline tree: the root, a group (the first track of its kind) or
// a further track of a group. Tracks hold their clips in start order.
// Lives on: main thread.

#include "TimelineTypes.h"
#include "undo/ZuObject.h"

#include <QList>
#include <QMetaType>
#include <QString>

class SourceItem;
class TimelineDocument;

// The record of a track (a "classify" item): its kind, whether it is its kind's
// group row, a serial number and its uuid.
struct ClassifyData {
    uint32_t kind = CT_NONE;
    uint8_t isGroup = 0;
    uint32_t id = 0;
    QString uuid;
};
Q_DECLARE_METATYPE(ClassifyData)

// A track of the timeline (or a group: the first track of a kind, or the root).
class ClassifyItem : public ClassifyData, public zua::ZuObject {
public:
    ClassifyItem(TimelineDocument *model, uint32_t kind, bool isGroup);
    ~ClassifyItem() override;

    ClassifyItem *child(int row) const;
    int childCount() const { return m_children.size(); }
    int row() const;
    ClassifyItem *parentItem() const { return m_parent; }
    ClassifyItem *group() { return isGroup ? this : m_home; }
    const ClassifyItem *group() const { return isGroup ? this : m_home; }
    // The group a track belongs to, also while it is out of the tree.
    void setHome(ClassifyItem *group) { m_home = group; }
    TimelineDocument *model() const { return m_model; }

    bool expanded() const { return m_expanded; }
    void setExpanded(bool expanded) { m_expanded = expanded; }

    // The first clip with start <= frame < start + duration.
    SourceItem *clipAt(int64_t frame) const;
    // True when every clip ends at or before the frame.
    bool isFree(int64_t frame) const;

    const QList<SourceItem *> &clips() const { return m_clips; }
    void addClip(SourceItem *clip, int index);
    // Where a clip belongs in the start-ordered list (before clips starting with it).
    int sortedIndexFor(const SourceItem *clip) const;
    void removeClip(SourceItem *clip);
    bool hasClip(SourceItem *clip) const { return m_clips.contains(clip); }
    void sortClips();

    // Tree edits (no undo); the model wraps them in row notifications.
    void insertChild(int row, ClassifyItem *child);
    void takeChild(ClassifyItem *child);

    // Undo notifications: 1 inserts the track at {"row"}, 2 removes it.
    void onChange(int kind, const bg::Value &arg) override;

private:
    TimelineDocument *m_model;
    ClassifyItem *m_parent = nullptr;
    ClassifyItem *m_home = nullptr;
    QList<ClassifyItem *> m_children;
    QList<SourceItem *> m_clips;
    bool m_expanded = true;
};
