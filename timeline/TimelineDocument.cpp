#include "TimelineDocument.h"

#include "ClassifyItem.h"
#include "SourceItem.h"
#include "TimeLineGraphicsScene.h"
#include "TimelineCheck.h"
#include "TimelinePublisher.h"
#include "TrackTreeModel.h"
#include "TransItem.h"

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

bool isGif(const QString &path)
{
    const QString suffix = QFileInfo(path).suffix();
    return suffix == QLatin1String("gif") || suffix == QLatin1String("GIF");
}

// How many frames a material gives a clip of `kind`: pictures (other than GIFs)
// and subtitles last as long as wanted; the rest as long as the file (`pix`).
int64_t materialFrames(uint32_t kind, const QString &path, int64_t pix)
{
    if (kind == CT_SUBTITLE || (kind == CT_PICTURE && !isGif(path)))
        return timeline::kUnboundedFrames;
    return pix;
}

} // namespace

TimelineDocument::TimelineDocument(QObject *parent)
    : QObject(parent), m_root(std::make_unique<ClassifyItem>(this, CT_NONE, false))
{
    // The editor hands the render manager's probe in (the first video may size the
    // project); on its own the model only reads the file.
    m_probe = [](const QString &path, bool) { return probeMediaFile(path); };
    m_tree = new TrackTreeModel(this);
    m_publisher = new TimelinePublisher(this, this); // after the tree: it listens to its rows
    if (timelinecheck::enabled())
        watchConsistency();
}

void TimelineDocument::watchConsistency()
{
    // Once per turn of the event loop after a change: an edit made of several steps
    // (a file being read) is judged when it has finished.
    connect(zua::UndoController::instance(), &zua::UndoController::sig_changed, this, [this] {
        if (m_checkQueued)
            return;
        m_checkQueued = true;
        QMetaObject::invokeMethod(
            this,
            [this] {
                m_checkQueued = false;
                const QStringList problems = timelinecheck::problems(*this);
                if (!problems.isEmpty())
                    qFatal("The timeline is inconsistent:\n%s",
                           qPrintable(problems.join(QLatin1Char('\n'))));
            },
            Qt::QueuedConnection);
    });
}

TimelineDocument::~TimelineDocument() {}

void TimelineDocument::attachScene(QGraphicsScene *scene)
{
    m_scene = scene;
    if (!scene)
        return;
    for (SourceItem *clip : clips()) {
        if (clip->scene() != scene)
            scene->addItem(clip);
        clip->followRecord();
    }
    for (TransItem *t : qAsConst(m_transitions))
        if (t->scene() != scene)
            scene->addItem(t);
}

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

void TimelineDocument::clearSelection()
{
    if (m_scene)
        m_scene->clearSelection();
    // Without a scene, the clips this document selected (loading thousands of clips
    // stays linear).
    for (const QPointer<SourceItem> &clip : qAsConst(m_selected))
        if (clip)
            clip->setSelected(false);
    m_selected.clear();
}

void TimelineDocument::select(SourceItem *clip)
{
    clearSelection();
    clip->setSelected(true);
    if (!m_scene)
        m_selected.append(clip);
}

bg::ValueMap TimelineDocument::probe(const QString &path, bool autoSize) const
{
    return m_probe ? m_probe(path, autoSize) : bg::ValueMap();
}

void TimelineDocument::clipJoined(SourceItem *clip)
{
    m_byUuid.insert(clip->uuid, clip);
    // Back on the timeline (an undo): the transitions naming it draw its markers.
    for (TransItem *t : m_transitionsByClip.values(clip->uuid))
        t->data()->sendLengths(true);
    if (clip->kind == CT_VIDEO || clip->kind == CT_PICTURE)
        ++m_visualClips;
}

void TimelineDocument::clipLeft(SourceItem *clip)
{
    auto it = m_byUuid.find(clip->uuid);
    if (it != m_byUuid.end() && it.value() == clip)
        m_byUuid.erase(it);
    if (clip->kind == CT_VIDEO || clip->kind == CT_PICTURE)
        m_visualClips = std::max(0, m_visualClips - 1);
}

SourceItem *TimelineDocument::createClip(ClassifyItem *track, uint32_t kind, const QString &path,
                                         int64_t startFrame, const QColor &colour,
                                         const QFont &font)
{
    if (!track)
        return nullptr;
    auto clip = std::make_unique<SourceItem>(kind, track);
    if (kind == CT_SUBTITLE) {
        clip->previewRect = QRectF(0, 0, 500, 100);
        clip->clipRect = QRect(0, 0, 500, 100);
        clip->sourceSize = QSize(500, 100);
        clip->fullLength = timeline::kUnboundedFrames;
        clip->durationFrames = timeline::kDefaultStillFrames;
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
        clip->fullLength = materialFrames(kind, path, pix);
        if (kind == CT_PICTURE) {
            clip->durationFrames = isGif(path) ? pix : timeline::kDefaultStillFrames;
        } else {
            clip->durationFrames = pix;
            // Shown at the project's scale, whole: a 480p clip fills a 1080p
            // picture's height as it fills its own, not a quarter of it.
            if (w > 0 && h > 0 && m_renderSize.isValid())
                clip->previewRect =
                    QRectF(QPointF(0, 0), QSizeF(w, h).scaled(m_renderSize, Qt::KeepAspectRatio));
        }
    }
    clip->loadThumbnail();
    clip->startFrame = std::max<int64_t>(0, startFrame);
    clip->followRecord();
    clip->publishValues();

    SourceItem *item = clip.release();
    zua::MergeSequence sequence("AddSource");
    zua::ZuObject::AddObject_canUndo(item, colArg(0));
    select(item);
    resolveOverlaps(track);
    return item;
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

SourceItem *TimelineDocument::createFromDrop(const bg::ValueMap &request, ClassifyItem *row,
                                             const QColor &colour, const QFont &font)
{
    auto get = [&request](const char *k) {
        auto it = request.find(k);
        return it == request.end() ? bg::Value() : it->second;
    };
    uint32_t kind = uint32_t(get("type").toInt32());
    // The track under the pointer decides when it takes the material's other kind.
    const uint32_t alsoAs = uint32_t(get("alsoAs").toInt32(0));
    if (row && alsoAs != CT_NONE && row->kind == alsoAs)
        kind = alsoAs;
    ClassifyItem *track = trackForDrop(row, kind);
    if (!track)
        return nullptr;
    const int64_t start = std::max<int64_t>(0, timeline::toFrames(get("posX").toDouble()));
    return createClip(track, kind, QString::fromStdString(get("path").toStdString()), start, colour,
                      font);
}

void TimelineDocument::resolveOverlaps(ClassifyItem *track)
{
    track->sortClips();
    int64_t end = 0;
    for (SourceItem *clip : track->clips()) {
        if (clip->start() < end)
            clip->setValue("source",
                           SourceData::sourceValue(track, end, clip->duration(), clip->offset()),
                           true, true);
        end = clip->end();
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
    return uuid.isEmpty() ? nullptr : m_byUuid.value(uuid);
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
    if (selected)
        select(clip);
    else
        clip->setSelected(false);
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
    const TransitionData *d = t->data();
    if (m_transitions.removeOne(t)) {
        m_transitionsByClip.remove(d->fromUuid, t);
        m_transitionsByClip.remove(d->toUuid, t);
    }
    if (shown) {
        m_transitions.append(t);
        if (d->hasFrom())
            m_transitionsByClip.insert(d->fromUuid, t);
        if (d->hasTo())
            m_transitionsByClip.insert(d->toUuid, t);
    }
    zua::UndoController::instance()->noteChange();
}

TransItem *TimelineDocument::transitionAt(const SourceItem *clip, bool head) const
{
    if (!clip)
        return nullptr;
    for (TransItem *t : m_transitionsByClip.values(clip->uuid))
        if ((head ? t->data()->toUuid : t->data()->fromUuid) == clip->uuid)
            return t;
    return nullptr;
}

void TimelineDocument::checkTransitions()
{
    for (TransItem *t : QList<TransItem *>(m_transitions)) {
        TransitionData *d = t->data();
        bool drop = (!d->hasFrom() && !d->hasTo()) || d->lostAClip();
        if (!drop && d->hasFrom() && d->hasTo()) {
            const int64_t gap = d->to()->start() - d->from()->end();
            drop = gap != 0 && gap != d->recordedGap;
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

void TimelineDocument::adoptLoadedClip(SourceItem *clip, bool resolve)
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
            const auto pix = info.find("pix");
            clip->fullLength = materialFrames(clip->kind, clip->path,
                                              pix == info.end() ? 0 : pix->second.toInt64());
        } else {
            clip->setValid(false);
        }
    } else {
        clip->fullLength = timeline::kUnboundedFrames;
    }
    // A clip read as longer than its material keeps its frames (the file may have been
    // replaced, or be missing): the material counts as long as the clip needs.
    clip->fullLength = std::max(clip->fullLength, clip->offset() + clip->duration());
    clip->loadThumbnail();
    clip->followRecord();
    clip->publishValues();
    clearSelection();
    zua::MergeSequence sequence("AddSource");
    zua::ZuObject::AddObject_canUndo(clip, bg::Value(bg::ValueMap{{"col", bg::Value(int32_t(0))}}));
    if (resolve)
        resolveOverlaps(clip->track);
}
