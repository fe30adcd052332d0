#pragma once
// Records voice-overs onto the timeline. Lives on: main thread.

#include "render/RenderTypes.h"

#include <QObject>
#include <QString>

class RecordManager : public QObject {
    Q_OBJECT
public:
    explicit RecordManager(QObject *parent = nullptr);
    bool isRecording() const { return m_recording; }

signals:
    void sig_frameRequest(MoveType type, EditType edit, int64_t times, int64_t fps);
    // A recording started (true) or ended with its file (false), or failed.
    void sig_audioSourceItem(bool start, const QString &path, bool error);

private:
    bool m_recording = false;
};
