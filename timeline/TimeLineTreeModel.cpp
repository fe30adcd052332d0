#include "TimeLineTreeModel.h"

#include "ClassifyItem.h"
#include "SourceItem.h"
#include "TimelinePublisher.h"
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

bg::Value trackArg(TimeLineTreeModel *model, int row)
{
    bg::ValueMap arg;
    arg["model"] = bg::Value(static_cast<void *>(model));
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

TimeLineTreeModel::TimeLineTreeModel(QGraphicsScene *scene, QObject *parent)
    : QAbstractItemModel(parent), m_scene(scene),
      m_root(std::make_unique<ClassifyItem>(this, CT_NONE, false))
{
    qRegisterMetaType<ClassifyData>("ClassifyData");
    // The editor hands the render manager's probe in (the first video may size the
    // project); on its own the model only reads the file.
    m_probe = [](const QString &path, bool) { return probeMediaFile(path); };
    m_publisher = new TimelinePublisher(this, this);
}

TimeLineTreeModel::~TimeLineTreeModel() {}

// ---- tree ------------------------------------------------------------------------

QModelIndex TimeLineTreeModel::index(int row, int column, const QModelIndex &parent) const
{
    ClassifyItem *p =
        parent.isValid() ? static_cast<ClassifyItem *>(parent.internalPointer()) : m_root.get();
    ClassifyItem *c = p ? p->child(row) : nullptr;
    return c && column == 0 ? createIndex(row, 0, c) : QModelIndex();
}

QModelIndex TimeLineTreeModel::parent(const QModelIndex &child) const
{
    if (!child.isValid())
        return QModelIndex();
    ClassifyItem *p = static_cast<ClassifyItem *>(child.internalPointer())->parentItem();
    return !p || p == m_root.get() ? QModelIndex() : createIndex(p->row(), 0, p);
}

int TimeLineTreeModel::rowCount(const QModelIndex &parent) const
{
    const ClassifyItem *p =
        parent.isValid() ? static_cast<ClassifyItem *>(parent.internalPointer()) : m_root.get();
    return p ? p->childCount() : 0;
}

int TimeLineTreeModel::columnCount(const QModelIndex &) const
{
    return 1;
}

QVariant TimeLineTreeModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || role != Qt::DisplayRole)
        return QVariant();
    const auto *item = static_cast<ClassifyItem *>(index.internalPointer());
    return QVariant::fromValue(static_cast<const ClassifyData &>(*item));
}

QVariant TimeLineTreeModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (section == 0 && orientation == Qt::Horizontal && role == Qt::SizeHintRole)
        return QSize(0, 0);
    return QVariant();
}

QModelIndex TimeLineTreeModel::indexOf(ClassifyItem *item) const
{
    if (!item || item == m_root.get() || !item->parentItem())
        return QModelIndex();
    return createIndex(item->row(), 0, item);
}

bool TimeLineTreeModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (role != Qt::EditRole || !index.isValid())
        return false;
    auto *item = static_cast<ClassifyItem *>(index.internalPointer());
    const QString command = value.toString();
    if (command == QLatin1String("add")) {
        emit sig_opertorUi(false, true);
        ClassifyItem *g = item->group();
        insertTrack(g, g->childCount(), true);
    } else if (command == QLatin1String("remove")) {
        emit sig_opertorUi(false, true);
        if (!item->isGroup)
            removeTrack(item, true);
    } else {
        BG_LOG_W("未知命令: %s", qUtf8Printable(command));
    }
    return true;
}

void TimeLineTreeModel::buildGroups()
{
    if (m_root->childCount() > 0)
        return;
    for (uint32_t kind : {CT_VIDEO, CT_PICTURE, CT_AUDIO, CT_DUB, CT_SUBTITLE, CT_NONE}) {
        auto *g = new ClassifyItem(this, kind, true);
        g->setHome(g);
        beginInsertRows(QModelIndex(), m_root->childCount(), m_root->childCount());
        m_root->insertChild(m_root->childCount(), g);
        endInsertRows();
    }
}

ClassifyItem *TimeLineTreeModel::group(uint32_t kind) const
{
    const int row = timeline::groupRow(kind);
    return row < 0 ? nullptr : m_root->child(row);
}

void TimeLineTreeModel::insertTrackRow(ClassifyItem *track, int row)
{
    ClassifyItem *g = track->group();
    if (!g)
        return;
    row = std::clamp(row, 0, g->childCount());
    beginInsertRows(indexOf(g), row, row);
    g->insertChild(row, track);
    endInsertRows();
    g->setExpanded(true);
    emit sig_expandGroup(indexOf(g));
}

void TimeLineTreeModel::removeTrackRow(ClassifyItem *track)
{
    ClassifyItem *g = track->parentItem();
    if (!g)
        return;
    const int row = track->row();
    beginRemoveRows(indexOf(g), row, row);
    g->takeChild(track);
    endRemoveRows();
}

ClassifyItem *TimeLineTreeModel::insertTrack(ClassifyItem *g, int row, bool recordUndo)
{
    if (!g || !g->isGroup || g->kind == CT_NONE)
        return nullptr;
    auto *track = new ClassifyItem(this, g->kind, false);
    track->setHome(g);
    if (recordUndo)
        zua::ZuObject::AddObject_canUndo(track, trackArg(this, row));
    else
        insertTrackRow(track, row);
    notifyChanged();
    return track;
}

void TimeLineTreeModel::removeTrack(ClassifyItem *track, bool recordUndo)
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
    zua::ZuObject::DelObject_canUndo(track, trackArg(this, track->row()));
}

QList<ClassifyItem *> TimeLineTreeModel::tracks() const
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

bg::ValueMap TimeLineTreeModel::probe(const QString &path, bool autoSize) const
{
    return m_probe ? m_probe(path, autoSize) : bg::ValueMap();
}

void TimeLineTreeModel::countVisualClip(uint32_t kind, int delta)
{
    if (kind == CT_VIDEO || kind == CT_PICTURE)
        m_visualClips = std::max(0, m_visualClips + delta);
}

SourceItem *TimeLineTreeModel::createClip(ClassifyItem *track, uint32_t kind, const QString &path,
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

ClassifyItem *TimeLineTreeModel::itemAtY(double y) const
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

ClassifyItem *TimeLineTreeModel::trackForDrop(ClassifyItem *row, uint32_t kind) const
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

SourceItem *TimeLineTreeModel::createFromDrop(const bg::ValueMap &request, const QColor &colour,
                                              const QFont &font, double viewScale)
{
    auto get = [&request](const char *k) {
        auto it = request.find(k);
        return it == request.end() ? bg::Value() : it->second;
    };
    const uint32_t kind = uint32_t(get("type").toInt32());
    ClassifyItem *track = trackForDrop(itemAtY(get("posY").toDouble()), kind);
    if (!track)
        return nullptr;
    double x = get("posX").toDouble();
    if (kind != CT_DUB)
        x = std::max(0.0, x - 50.0 / (viewScale > 0 ? viewScale : 1.0));
    return createClip(track, kind, QString::fromStdString(get("path").toStdString()), x, colour,
                      font);
}

void TimeLineTreeModel::resolveOverlaps(ClassifyItem *track)
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

QList<SourceItem *> TimeLineTreeModel::clips() const
{
    QList<SourceItem *> out;
    for (ClassifyItem *t : tracks())
        out += t->clips();
    return out;
}

SourceItem *TimeLineTreeModel::clipByUuid(const QString &uuid) const
{
    if (uuid.isEmpty())
        return nullptr;
    for (SourceItem *clip : clips())
        if (clip->uuid == uuid)
            return clip;
    return nullptr;
}

void TimeLineTreeModel::slot_clipGeometryEdited(const QString &uuid, const QRectF &rect, int rotate)
{
    SourceItem *clip = clipByUuid(uuid);
    if (!clip)
        return;
    zua::MergeSequence sequence("PreviewChange");
    clip->setValue("previewRect", bg::ValueQt(rect), true, true);
    clip->setValue("rotate", bg::Value(int32_t(rotate)), true, true);
}

void TimeLineTreeModel::slot_selectClip(const QString &uuid, bool selected)
{
    SourceItem *clip = clipByUuid(uuid);
    if (!clip)
        return;
    // Selected in the picture: that clip alone, as a click selects on the timeline.
    if (selected && m_scene)
        m_scene->clearSelection();
    clip->setSelected(selected);
}

// ---- transitions -------------------------------------------------------------------

TransItem *TimeLineTreeModel::addTransition(const QString &name, SourceItem *from, SourceItem *to,
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

void TimeLineTreeModel::removeTransition(TransItem *t, bool recordUndo)
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

void TimeLineTreeModel::transitionShown(TransItem *t, bool shown)
{
    m_transitions.removeOne(t);
    if (shown)
        m_transitions.append(t);
    zua::UndoController::instance()->noteChange();
}

void TimeLineTreeModel::checkTransitions()
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

void TimeLineTreeModel::clearAll()
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

void TimeLineTreeModel::adoptLoadedClip(SourceItem *clip, double start)
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
    resolveOverlaps(clip->track);
}
