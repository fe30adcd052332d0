#include "ClassifyItem.h"

#include "SourceItem.h"
#include "TimelineDocument.h"

#include "undo/UndoController.h"

#include <QUuid>

#include <algorithm>

namespace {
uint32_t g_nextId = 0;
} // namespace

ClassifyItem::ClassifyItem(TimelineDocument *model, uint32_t k, bool group) : m_model(model)
{
    kind = k;
    isGroup = group ? 1 : 0;
    id = g_nextId++;
    uuid = QUuid::createUuid().toString();
}

ClassifyItem::~ClassifyItem()
{
    qDeleteAll(m_children);
}

ClassifyItem *ClassifyItem::child(int row) const
{
    return row >= 0 && row < m_children.size() ? m_children[row] : nullptr;
}

int ClassifyItem::row() const
{
    return m_parent ? m_parent->m_children.indexOf(const_cast<ClassifyItem *>(this)) : 0;
}

SourceItem *ClassifyItem::clipAt(int64_t frame) const
{
    for (SourceItem *clip : m_clips)
        if (clip->start() <= frame && frame < clip->start() + clip->duration())
            return clip;
    return nullptr;
}

bool ClassifyItem::isFree(int64_t frame) const
{
    return std::all_of(m_clips.begin(), m_clips.end(),
                       [frame](SourceItem *c) { return c->start() + c->duration() <= frame; });
}

int ClassifyItem::sortedIndexFor(const SourceItem *clip) const
{
    return int(std::lower_bound(m_clips.begin(), m_clips.end(), clip->start(),
                                [](SourceItem *c, int64_t at) { return c->start() < at; }) -
               m_clips.begin());
}

void ClassifyItem::addClip(SourceItem *clip, int index)
{
    if (!clip || m_clips.contains(clip))
        return;
    m_clips.insert(std::clamp(index, 0, int(m_clips.size())), clip);
    if (m_model)
        m_model->clipJoined(clip);
    zua::UndoController::instance()->noteChange();
}

void ClassifyItem::removeClip(SourceItem *clip)
{
    if (!m_clips.removeOne(clip))
        return;
    if (m_model)
        m_model->clipLeft(clip);
    zua::UndoController::instance()->noteChange();
}

void ClassifyItem::sortClips()
{
    // Usually already in order (one clip moved or added): checked in one pass, so a
    // track of thousands of clips is not sorted again for each of them.
    const auto before = [](SourceItem *a, SourceItem *b) { return a->start() < b->start(); };
    if (!std::is_sorted(m_clips.begin(), m_clips.end(), before))
        std::stable_sort(m_clips.begin(), m_clips.end(), before);
    zua::UndoController::instance()->noteChange();
}

void ClassifyItem::insertChild(int row, ClassifyItem *child)
{
    child->m_parent = this;
    m_children.insert(std::clamp(row, 0, int(m_children.size())), child);
}

void ClassifyItem::takeChild(ClassifyItem *child)
{
    m_children.removeOne(child);
    child->m_parent = nullptr;
}

void ClassifyItem::onChange(int event, const bg::Value &arg)
{
    const bg::ValueMap *map = arg.mapPtr();
    if (!map || !m_model)
        return;
    switch (event) {
    case zua::EV_ADDED: {
        auto it = map->find("row");
        m_model->insertTrackRow(this, it == map->end() ? 0 : it->second.toInt32());
        break;
    }
    case zua::EV_REMOVED:
        m_model->removeTrackRow(this);
        break;
    default:
        break;
    }
    m_model->notifyChanged();
}
