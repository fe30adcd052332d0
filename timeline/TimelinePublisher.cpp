#include "TimelinePublisher.h"

#include "TimelineDocument.h"
#include "TimelineEvaluator.h"
#include "TrackTreeModel.h"

#include "undo/UndoController.h"

TimelinePublisher::TimelinePublisher(const TimelineDocument *model, QObject *parent)
    : QObject(parent), m_model(model)
{
    connect(zua::UndoController::instance(), &zua::UndoController::sig_changed, this,
            &TimelinePublisher::markChanged);
    connect(model, &TimelineDocument::sig_timelineChanged, this, &TimelinePublisher::markChanged);
    // Tracks added or removed.
    const TrackTreeModel *rows = model->trackTree();
    connect(rows, &QAbstractItemModel::rowsInserted, this, &TimelinePublisher::markChanged);
    connect(rows, &QAbstractItemModel::rowsRemoved, this, &TimelinePublisher::markChanged);
    m_feed->setRefresher([this] { publishIfChanged(); });
}

TimelinePublisher::~TimelinePublisher()
{
    m_feed->setRefresher(nullptr); // the feed may outlive the timeline
}

void TimelinePublisher::markChanged()
{
    m_changed = true;
    if (m_queued)
        return;
    m_queued = true;
    QMetaObject::invokeMethod(this, &TimelinePublisher::publishIfChanged, Qt::QueuedConnection);
}

void TimelinePublisher::publishIfChanged()
{
    m_queued = false;
    if (!m_changed)
        return;
    m_changed = false;
    m_feed->publish(std::make_shared<const TimelineEvaluator>(TimelineSnapshot::of(m_model)));
}
