#pragma once
// Keeps the timeline's published state current: after any change to the project
// (a value stored, undone or redone, a clip moved, selected, added or removed, a
// track added or removed) it publishes a new snapshot once, at the end of the
// event-loop turn, so a drag that moves a clip a hundred times in one turn makes
// one snapshot. Readers on other threads take the feed's current state; the main
// thread may ask the feed for it now (fresh()), which publishes at once when a
// change waits, so what it evaluates is never older than the model.
// Lives on: main thread.

#include "render/TimelineReader.h"

#include <QObject>

#include <memory>

class TimelineDocument;

class TimelinePublisher : public QObject {
    Q_OBJECT
public:
    explicit TimelinePublisher(const TimelineDocument *model, QObject *parent = nullptr);
    ~TimelinePublisher() override;

    // The feed the engines read (shared: it outlives the model for whoever holds it).
    std::shared_ptr<TimelineFeed> feed() const { return m_feed; }
    // Something the evaluator reads changed.
    void markChanged();

private:
    void publishIfChanged();

    const TimelineDocument *m_model;
    std::shared_ptr<TimelineFeed> m_feed = std::make_shared<TimelineFeed>();
    bool m_changed = true;
    bool m_queued = false;
};
