#pragma once
// The editor's exports, one at a time: each reads the timeline's published state at
// the moment it starts (later edits do not reach it) and the project size of that
// moment; a take being recorded ends first. The preview and playback go on as they
// are (the export composes on a device of its own).
// Lives on: main thread.

#include "render/TimelineReader.h"

#include <QObject>
#include <QSize>

#include <functional>
#include <memory>

class ExportManager;
class Transport;
struct MVParams;

class Exporter : public QObject {
    Q_OBJECT
public:
    // `projectSize` answers the size the movie is composed at.
    Exporter(Transport *transport, std::function<QSize()> projectSize, QObject *parent = nullptr);

    ExportManager *manager() const { return m_manager; }
    // What exports read: the timeline's published state.
    void setTimeline(std::shared_ptr<TimelineFeed> feed) { m_timeline = std::move(feed); }
    // Starts an export on the manager's threads; sig_exportEnded tells how it ended
    // (also at once when it is refused). This thread is free meanwhile.
    void startExport(const MVParams &params);
    // The same, returning when the export ended (ExportManager::Result): for the
    // headless renderer and tests.
    int exportMovie(const MVParams &params);

signals:
    // An export started with startExport() ended (an ExportManager::Result).
    void sig_exportEnded(int result);
    // Any export ended, however it was started.
    void sig_runEnded();

private:
    // The timeline as it is now, after ending a take; null: nothing to export.
    TimelineState beginRun();

    ExportManager *m_manager; // a child
    Transport *m_transport;
    std::function<QSize()> m_projectSize;
    std::shared_ptr<TimelineFeed> m_timeline;
    bool m_started = false; // a run of startExport() goes on
};
