#include "Exporter.h"

#include "ExportManager.h"
#include "MVParams.h"
#include "render/Transport.h"

Exporter::Exporter(Transport *transport, std::function<QSize()> projectSize, QObject *parent)
    : QObject(parent), m_manager(new ExportManager(this)), m_transport(transport),
      m_projectSize(std::move(projectSize))
{
    connect(m_manager, &ExportManager::sig_ended, this, [this](int result) {
        if (!m_started)
            return; // exportMovie() finishes its own run
        m_started = false;
        emit sig_runEnded();
        emit sig_exportEnded(result);
    });
}

TimelineState Exporter::beginRun()
{
    const TimelineState timeline = m_timeline ? m_timeline->fresh() : nullptr;
    if (timeline && m_transport)
        m_transport->stop(false, true);
    return timeline;
}

int Exporter::exportMovie(const MVParams &params)
{
    if (m_manager->isExporting())
        return int(ExportManager::Result::EncoderRefused);
    const TimelineState timeline = beginRun();
    if (!timeline)
        return int(ExportManager::Result::EncoderRefused);
    const ExportManager::Result result = m_manager->exportMovie(params, m_projectSize(), timeline);
    emit sig_runEnded();
    return int(result);
}

void Exporter::startExport(const MVParams &params)
{
    const TimelineState timeline = m_manager->isExporting() ? nullptr : beginRun();
    if (!timeline) {
        emit sig_exportEnded(int(ExportManager::Result::EncoderRefused));
        return;
    }
    m_started = true;
    if (const auto refused = m_manager->start(params, m_projectSize(), timeline)) {
        m_started = false;
        emit sig_runEnded();
        emit sig_exportEnded(int(*refused));
    }
}
