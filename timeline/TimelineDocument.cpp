#include "TimelineDocument.h"

#include "ClassifyItem.h"
#include "SourceItem.h"
#include "TimeLineGraphicsScene.h"
#include "TimelinePublisher.h"
#include "TrackTreeModel.h"
#include "TransItem.h"

#include "common/QssManager.h"
#include "common/Translate.h"
#include "common/ValueQt.h"
#include "render/MediaProbe.h"

#include "bridge/Bridge.h"
#include "undo/UndoController.h"

#include <QFileInfo>
#include <QGraphicsScene>
#include <QSize>

#include <algorithm>

namespace {

bg::Value trackArg(int row)
{
    bg::ValueMap arg;
    arg["row"] = bg::Value(int32_t(row));
    return bg::Value(arg);
}

bg::Value colArg(int col)
{
    bg::ValueMap arg;
    arg["col"] = bg::Value(int32_t(col));
    return bg::Value(arg);
}

} // namespace

TimelineDocument::TimelineDocument(QGraphicsScene *scene, QObject *parent)
    : QObject(parent), m_scene(scene), m_root(std::make_unique<ClassifyItem>(this, CT_NONE, false))
{
    // The editor hands the render manager's probe in (the first video may size the
    // project); on its own the model only reads the file.
    m_probe = [](const QString &path, bool) { return probeMediaFile(path); };
    m_tree = new TrackTreeModel(this);
    m_publisher = new TimelinePublisher(this, this); // after the tree: it listens to its rows
}

TimelineDocument::~TimelineDocument() {}

// ---- tree ------------------------------------------------------------------------

void TimelineDocument::buildGroups()
{
    if (m_root->childCount() > 0)
        return;
    for (uint32_t kind : {CT_VIDEO, CT_PICTURE, CT_AUDIO, CT_DUB, CT_SUBTITLE, CT_NONE}) {
        auto *g = new ClassifyItem(this, kind, true);
        g->setHome(g);
        m_tree->insertRow(m_root.get(), m_root->childCount(), g);
    }
}

ClassifyItem *TimelineDocument::group(uint32_t kind) const
{
    const int row = timeline::groupRow(kind);
    return row < 0 ? nullptr : m_root->child(row);
}

void TimelineDocument::insertTrackRow(ClassifyItem *track, int row)
{
    ClassifyItem *g = track->group();
    if (!g)
        return;
    m_tree->insertRow(g, std::clamp(row, 0, g->childCount()), track);
}

void TimelineDocument::removeTrackRow(ClassifyItem *track)
{
    if (track->parentItem())
        m_tree->takeRow(track);
}

ClassifyItem *TimelineDocument::insertTrack(ClassifyItem *g, int row, bool recordUndo)
{
    if (!g || !g->isGroup || g->kind == CT_NONE)
        return nullptr;
    auto *track = new ClassifyItem(this, g->kind, false);
    track->setHome(g);
    if (recordUndo)
        zua::ZuObject::AddObject_canUndo(track, trackArg(row));
    else
        insertTrackRow(track, row);
    notifyChanged();
    return track;
}

void TimelineDocument::removeTrack(ClassifyItem *track, bool recordUndo)
{
    if (!track || track->isGroup || !track->parentItem())
        return;
    if (!recordUndo) {
        for (SourceItem *clip : QList<SourceItem *>(track->clips())) {
            track->removeClip(clip);
            if (clip->scene())
                clip->scene()->removeItem(clip);
            delete clip;
        }
        removeTrackRow(track);
        delete track;
        notifyChanged();
        return;
    }
    zua::MergeSequence sequence("Del");
    const QList<SourceItem *> clips = track->clips();
    for (SourceItem *clip : clips)
        zua::ZuObject::DelObject_canUndo(clip, colArg(track->clips().indexOf(clip)));
    checkTransitions();
    zua::ZuObject::DelObject_canUndo(track, trackArg(track->row()));
}

QList<ClassifyItem *> TimelineDocument::tracks() const
{
    QList<ClassifyItem *> out;
    for (int g = 0; g < m_root->childCount(); ++g) {
        ClassifyItem *group = m_root->child(g);
        out << group;
        for (int t = 0; t < group->childCount(); ++t)
            out << group->child(t);
    }
    return out;
}

// ---- clips ---------------------------------------------------------------------

bg::ValueMap TimelineDocument::probe(const QString &path, bool autoSize) const
{
    return m_probe ? m_probe(path, autoSize) : bg::ValueMap();
}

void TimelineDocument::countVisualClip(uint32_t kind, int delta)
{
    if (kind == CT_VIDEO || kind == CT_PICTURE)
        m_visualClips = std::max(0, m_visualClips + delta);
}

SourceItem *TimelineDocument::createClip(ClassifyItem *track, uint32_t kind, const QString &path,
                                         double x, const QColor &colour, const QFont &font)
{
    if (!track)
        return nullptr;
    auto clip = std::make_unique<SourceItem>(kind, track);
    if (kind == CT_SUBTITLE) {
        clip->previewRect = QRectF(0, 0, 500, 100);
        clip->clipRect = QRect(0, 0, 500, 100);
        clip->sourceSize = QSize(500, 100);
        clip->fullLength = timeline::kUnboundedFrames;
        clip->width = timeline::toScene(timeline::kDefaultStillFrames);
        clip->setSubtitle(colour, font, ZTR("subtitle_source_menu.default"));
    } else {
        const bg::ValueMap info = probe(path, m_visualClips == 0);
        auto get = [&info](const char *k) {
            auto it = info.find(k);
            return it == info.end() ? bg::Value() : it->second;
        };
        if (!get("valid").toBool())
            return nullptr;
        const int w = get("width").toInt32(), h = get("height").toInt32();
        const int64_t pix = get("pix").toInt64();
        clip->path = path;
        clip->previewRect = QRectF(0, 0, w, h);
        clip->clipRect = QRect(0, 0, w, h);
        clip->sourceSize = QSize(w, h);
        if (kind == CT_PICTURE) {
            const QString suffix = QFileInfo(path).suffix();
            const bool gif = suffix == QLatin1String("gif") || suffix == QLatin1String("GIF");
            clip->fullLength = gif ? pix : timeline::kUnboundedFrames;
            clip->width = timeline::toScene(gif ? pix : timeline::kDefaultStillFrames);
        } else {
            clip->fullLength = pix;
            clip->width = timeline::toScene(pix);
            // Shown at the project's scale, whole: a 480p clip fills a 1080p
            // picture's height as it fills its own, not a quarter of it.
            if (w > 0 && h > 0 && m_renderSize.isValid())
                clip->previewRect =
                    QRectF(QPointF(0, 0), QSizeF(w, h).scaled(m_renderSize, Qt::KeepAspectRatio));
        }
    }
    clip->loadThumbnail();
    clip->placeAt(x);
    if (m_scene)
        m_scene->clearSelection();
    clip->setSelected(true);
    clip->publishValues();

    SourceItem *item = clip.release();
    zua::MergeSequence sequence("AddSource");
    zua::ZuObject::AddObject_canUndo(item, colArg(0));
    item->setSelected(true);
    resolveOverlaps(track);
    return item;
}

ClassifyItem *TimelineDocument::itemAtY(double y) const
{
    if (y < 0)
        return nullptr;
    const double s = QssManager::screenScale();
    for (ClassifyItem *item : tracks()) {
        // The empty row at the bottom reaches down to the end of the view.
        if (item->kind == CT_NONE) {
            if (item->isGroup && y >= item->y())
                return item;
            continue;
        }
        if (!item->isGroup && !item->group()->expanded())
            continue;
        const double top = item->y();
        if (y >= top && y < top + timeline::rowHeight(item->kind) * s)
            return item;
    }
    return nullptr;
}

ClassifyItem *TimelineDocument::trackForDrop(ClassifyItem *row, uint32_t kind) const
{
    if (!row)
        return nullptr;
    if (row->kind == kind)
        return row;
    ClassifyItem *g = group(kind);
    if (!g)
        return nullptr;
    if (row->kind >= kind && g->childCount() > 0)
        return g->child(g->childCount() - 1);
    return g;
}

SourceItem *TimelineDocument::createFromDrop(const bg::ValueMap &request, const QColor &colour,
                                             const QFont &font)
{
    auto get = [&request](const char *k) {
        auto it = request.find(k);
        return it == request.end() ? bg::Value() : it->second;
    };
    uint32_t kind = uint32_t(get("type").toInt32());
    ClassifyItem *row = itemAtY(get("posY").toDouble());
    // The track under the pointer decides when it takes the material's other kind.
    const uint32_t alsoAs = uint32_t(get("alsoAs").toInt32(0));
    if (row && alsoAs != CT_NONE && row->kind == alsoAs)
        kind = alsoAs;
    ClassifyItem *track = trackForDrop(row, kind);
    if (!track)
        return nullptr;
    const double x = std::max(0.0, get("posX").toDouble());
    return createClip(track, kind, QString::fromStdString(get("path").toStdString()), x, colour,
                      font);
}

void TimelineDocument::resolveOverlaps(ClassifyItem *track)
{
    track->sortClips();
    double end = 0;
    for (SourceItem *clip : track->clips()) {
        if (clip->sceneX() < end)
            clip->setValue("source", clip->sourceValue(track, end, clip->width, clip->offsetX),
                           true, true);
        end = clip->sceneX() + clip->width;
    }
    track->sortClips();
}

QList<SourceItem *> TimelineDocument::clips() const
{
    QList<SourceItem *> out;
    for (ClassifyItem *t : tracks())
        out += t->clips();
    return out;
}

SourceItem *TimelineDocument::clipByUuid(const QString &uuid) const
{
    if (uuid.isEmpty())
        return nullptr;
    for (SourceItem *clip : clips())
        if (clip->uuid == uuid)
            return clip;
    return nullptr;
}

ClassifyItem *TimelineDocument::trackByUuid(const QString &uuid) const
{
    if (uuid.isEmpty())
        return nullptr;
    for (int g = 0; g < m_root->childCount(); ++g) {
        ClassifyItem *group = m_root->child(g);
        if (group->uuid == uuid)
            return group;
        for (int t = 0; t < group->childCount(); ++t)
            if (group->child(t)->uuid == uuid)
                return group->child(t);
    }
    return nullptr;
}

void TimelineDocument::slot_clipGeometryEdited(const QString &uuid, const QRectF &rect, int rotate)
{
    SourceItem *clip = clipByUuid(uuid);
    if (!clip)
        return;
    zua::MergeSequence sequence("PreviewChange");
    clip->setValue("previewRect", bg::ValueQt(rect), true, true);
    clip->setValue("rotate", bg::Value(int32_t(rotate)), true, true);
}

void TimelineDocument::slot_selectClip(const QString &uuid, bool selected)
{
    SourceItem *clip = clipByUuid(uuid);
    if (!clip)
        return;
    // Selected in the picture: that clip alone, and its panel (when one is open)
    // shows it, as a click on the timeline does.
    if (selected && m_scene)
        m_scene->clearSelection();
    clip->setSelected(selected);
    if (auto *timelineScene = qobject_cast<TimeLineGraphicsScene *>(clip->scene());
        timelineScene && selected)
        timelineScene->showMenu(clip, clip->menuType(), 1, clip->panelValues());
}

// ---- transitions -------------------------------------------------------------------

TransItem *TimelineDocument::addTransition(const QString &name, SourceItem *from, SourceItem *to,
                                           int64_t durationMs, int ratio, bool recordUndo)
{
    if (!from && !to)
        return nullptr;
    auto *t = new TransItem(this);
    TransitionData *d = t->data();
    d->name = name;
    d->durationMs = durationMs;
    d->ratio = std::clamp(ratio, 0, 10);
    d->setClips(from, to);
    t->connectClips();
    d->recompute();
    t->setValue("trans", t->transValue(), false, false);
    if (recordUndo)
        zua::ZuObject::AddObject_canUndo(t, bg::Value());
    else
        t->onChange(zua::EV_ADDED, bg::Value());
    return t;
}

void TimelineDocument::removeTransition(TransItem *t, bool recordUndo)
{
    if (!t)
        return;
    if (recordUndo) {
        zua::ZuObject::DelObject_canUndo(t, bg::Value());
        return;
    }
    t->onChange(zua::EV_REMOVED, bg::Value());
    delete t;
}

void TimelineDocument::transitionShown(TransItem *t, bool shown)
{
    m_transitions.removeOne(t);
    if (shown)
        m_transitions.append(t);
    zua::UndoController::instance()->noteChange();
}

void TimelineDocument::checkTransitions()
{
    auto onTimeline = [this](SourceItem *clip) {
        return clip && clip->scene() == m_scene && clip->track && clip->track->hasClip(clip);
    };
    for (TransItem *t : QList<TransItem *>(m_transitions)) {
        TransitionData *d = t->data();
        bool drop = (!d->from && !d->to) || (d->from && !onTimeline(d->from)) ||
                    (d->to && !onTimeline(d->to));
        if (!drop && d->from && d->to) {
            const double gap = d->to->sceneX() - (d->from->sceneX() + d->from->width);
            const int64_t gapFrames = timeline::toFrames(gap);
            drop = gapFrames != 0 && gap != d->recordedGap;
        }
        if (drop) {
            removeTransition(t, true);
            continue;
        }
        d->recompute();
        t->setValue("trans", t->transValue(), true, true);
    }
}

void TimelineDocument::clearAll()
{
    for (TransItem *t : QList<TransItem *>(m_transitions))
        removeTransition(t, false);
    for (ClassifyItem *track : tracks()) {
        for (SourceItem *clip : QList<SourceItem *>(track->clips())) {
            track->removeClip(clip);
            if (clip->scene())
                clip->scene()->removeItem(clip);
            delete clip;
        }
        if (!track->isGroup)
            removeTrack(track, false);
    }
    notifyChanged();
}

void TimelineDocument::adoptLoadedClip(SourceItem *clip, double start, bool resolve)
{
    if (clip->kind != CT_SUBTITLE) {
        const bg::ValueMap info = probe(clip->path, false);
        auto it = info.find("valid");
        if (it != info.end() && it->second.toBool()) {
            const QSize size(info.at("width").toInt32(), info.at("height").toInt32());
            if (clip->clipRect == QRect(0, 0, 0, 0))
                clip->clipRect = QRect(QPoint(0, 0), size);
            // A file without a placement shows the picture whole, centred.
            if (clip->previewRect.isEmpty())
                clip->previewRect = QRectF(QPointF(0, 0), QSizeF(size));
            clip->sourceSize = size;
        } else {
            clip->setValid(false);
        }
    }
    clip->loadThumbnail();
    clip->placeAt(start);
    clip->publishValues();
    if (m_scene)
        m_scene->clearSelection();
    zua::MergeSequence sequence("AddSource");
    zua::ZuObject::AddObject_canUndo(clip, bg::Value(bg::ValueMap{{"col", bg::Value(int32_t(0))}}));
    if (resolve)
        resolveOverlaps(clip->track);
}
