#pragma once
// Runs exports (movies and sound only). Lives on: main thread.

#include "render/RenderTypes.h"

#include <QObject>

class ExportManager : public QObject {
    Q_OBJECT
public:
    explicit ExportManager(QObject *parent = nullptr);
    bool isExporting() const { return m_exporting; }
    // The sound at a frame during an export.
    void onAudioFrames(const QList<AudioFrameData> &list, int64_t frame, int64_t fps,
                       int64_t lastFrame);

signals:
    void sig_frameRequest(MoveType type, EditType edit, int64_t times, int64_t fps);

private:
    bool m_exporting = false;
};
