#pragma once
// Records voice-overs onto the timeline: follows the transport's record state, names
// each recording's WAV file, runs the record thread and tells the timeline when a
// recording starts and ends. A take it cannot go on with it ends on the transport.
// Lives on: main thread.

#include "render/RenderTypes.h"

#include <QObject>
#include <QString>

class RecordThread;
class Transport;

class RecordManager : public QObject {
    Q_OBJECT
public:
    explicit RecordManager(Transport *transport, QObject *parent = nullptr);
    ~RecordManager() override;
    bool isRecording() const { return m_recording; }
    // Starts (true) or ends (false) a recording.
    void record(bool on);
    // The folder recordings go to ("mic.dir", else "RuZOVaza" in the home folder).
    static QString folder();
    // A new take's file in `folder`: named by its date and time, never an existing file.
    static QString takeFileName(const QString &folder);

signals:
    void sig_frameRequest(MoveType type, EditType edit, int64_t times);
    // A recording started (true) or ended with its file (false), or failed.
    void sig_audioSourceItem(bool start, const QString &path, bool error);
    // The microphone went away during the take (the take waits) or came back.
    void sig_recordPaused(bool paused);
    // Something the user must be told about a take (a folder that takes no file,
    // why a take ended): the editor shows it in a message box.
    void sig_recordProblem(const QString &text);

public slots:
    void slot_recordError();
    void slot_recordStop();
    // The take's file takes no more sound: the take ends with what was recorded.
    void slot_writeFailed(int code);

private:
    // Ends the take on the transport (which ends it here too).
    void endTake();

    Transport *m_transport;
    RecordThread *m_thread = nullptr;
    QString m_file; // this recording's WAV file
    QString m_path; // what the timeline is told: the file, or empty after an error
    bool m_error = false;
    bool m_recording = false;
    QString m_stoppedBecause; // said once the take has become a clip
};
