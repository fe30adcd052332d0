#include "TimelinePublisher.h"

#include "TimeLineTreeModel.h"
#include "TimelineEvaluator.h"

#include "undo/UndoController.h"

TimelinePublisher::TimelinePublisher(const TimeLineTreeModel *model, QObject *parent)
    : QObject(parent), m_model(model)
{
    connect(zua::UndoController::instance(), &zua::UndoController::sig_changed, this,
            &TimelinePublisher::markChanged);
    connect(model, &TimeLineTreeModel::sig_timelineChanged, this, &TimelinePublisher::markChanged);
    connect(model, &QAbstractItemModel::rowsInserted, this, &TimelinePublisher::markChanged);
    connect(model, &QAbstractItemModel::rowsRemoved, this, &TimelinePublisher::markChanged);
    connect(model, &QAbstractItemModel::modelReset, this, &TimelinePublisher::markChanged);
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
