#pragma once
// Runs exports: a movie (pictures and sound) or sound only, through the movie
// writer. The workers evaluate every frame from the timeline state the run was
// given (later edits do not reach it) and compose it in a graph of their own, on a
// graphics device of their own: the preview is not touched. The main thread only
// hears the progress and, at the end, puts the file in place (no event loop of its
// own).
// The file is written under a hidden temporary name in the target folder, finished
// (trailer, index) on a worker, and only then renamed to the name asked for: a
// cancelled, failed or killed run never leaves a half-written file under that name,
// and nothing there is replaced without the request saying so.
// Lives on: main thread.

#include "MVParams.h"
#include "render/RenderTypes.h"
#include "render/TimelineReader.h"

#include <QObject>
#include <QPointer>
#include <QSize>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

class ExportAudio;
class ExportFetchFrame;
class ExportImage;
class QThread;
struct ExportContext;
struct ExportFrame;
template <typename T> class BoundedQueue;

class ExportManager : public QObject {
    Q_OBJECT
public:
    explicit ExportManager(QObject *parent = nullptr);
    ~ExportManager() override;

    // How a run ends.
    enum class Result {
        Written,
        Cancelled,
        EncoderRefused,
        WriteFailed,
        NoFile,
        TargetExists,  // a file is there and the request does not replace it
        TargetInUse,   // the target is a file the project uses
        NameTooLong,   // the file system takes no name this long
        FolderRefused, // no file can be created in the target's folder (see messageText)
    };
    // Starts the export the request asks for: `timeline`, placed in a scene of
    // `sceneSize` (the project's size). Refused at once: the result, and no run;
    // otherwise the run goes on and sig_ended tells how it ended.
    std::optional<Result> start(const MVParams &params, const QSize &sceneSize,
                                TimelineState timeline);
    // The same run, returning when it ended (the headless renderer and tests): the
    // waiter watches it, else an event loop of its own waits.
    Result exportMovie(const MVParams &params, const QSize &sceneSize, TimelineState timeline);
    bool isExporting() const { return m_context != nullptr; }
    // The message key for a result (empty when it needs none).
    static QString messageKey(Result result);
    // What the user reads about a result of this manager's last run: the key's text
    // with the folder, name and the system's reason filled in.
    QString messageText(Result result) const;
    // True when `path` names one of `files` (links and relative parts resolved).
    static bool namesOneOf(const QString &path, const QStringList &files);
    // Stops the run now going on: what was written is discarded (sig_ended follows
    // at once with Cancelled, or WriteFailed when the writer had given up).
    void cancel();

    // For exportMovie(): watches the run and returns when it should end; false when
    // it stops the run before the end.
    using Waiter = std::function<bool(ExportManager &)>;
    void setWaiter(Waiter waiter) { m_waiter = std::move(waiter); }
    // Whether a written file is shown in the file manager afterwards (the editor does).
    void setRevealWritten(bool reveal) { m_reveal = reveal; }
    // Whether plain frames take the short YUV way (on by default); off, the graph
    // composes every frame (the two are compared in tests).
    void setShortWay(bool on) { m_shortWay = on; }
    // The last movie's frames made the short way and composed by the graph.
    struct Paths {
        int64_t plain = 0, composed = 0;
    };
    Paths lastPaths() const { return m_lastPaths; }

signals:
    // The hidden file the run writes into, made beside the target; it is gone (or
    // renamed into place) when sig_ended comes.
    void sig_partMade(const QString &part);
    void sig_processUpdate(int done, int total);
    // Every frame and all the sound are encoded; the file is being finished.
    void sig_finishing();
    // The run is over and its workers are gone: how it ended (a Result).
    void sig_ended(int result);

private:
    void checkFinished();
    // Ends the run: stops the workers, discards an unfinished file, tells sig_ended.
    void conclude();
    bool finished() const;
    // Stops and frees the workers (they are done, or the run was cancelled).
    void stopWorkers();
    // The finisher has closed the file: into place under its name.
    void fileFinished(bool ok);

    Waiter m_waiter;
    bool m_reveal = true;
    bool m_shortWay = true;
    Paths m_lastPaths;
    std::unique_ptr<ExportContext> m_context;
    std::unique_ptr<BoundedQueue<ExportFrame>> m_queue;
    QPointer<ExportFetchFrame> m_fetch;
    QPointer<ExportImage> m_image;
    QPointer<ExportAudio> m_audio;
    bool m_finishedSent = false;
    bool m_concluding = false;
    bool m_fileDone = false;                  // the finisher is done and the outcome known
    QThread *m_finisher = nullptr;            // closes the file off the main thread
    QString m_refusedFolder, m_refusedReason; // why the last run could not start
    int m_nameBytes = 0, m_nameMax = 0;       // the refused name's length and the limit
    QString m_partPath;                       // the file being written, hidden in the target folder
    QString m_targetPath;
    bool m_replace = false;
    Result m_outcome = Result::Cancelled; // set when the file is complete or given up
};
