#pragma once
// The process-wide undo history: a QUndoStack with named merge sequences.
// Lives on: main thread.

#include <QObject>
#include <QString>

#include <chrono>
#include <functional>

class QUndoCommand;
class QUndoStack;

namespace zua {

class UndoController : public QObject {
    Q_OBJECT
public:
    static UndoController *instance();

    QUndoStack *stack() const { return m_stack; }

    // Pushes an entry (runs its redo()); inside a merge sequence it joins the step.
    void push(QUndoCommand *command);

    // Brackets several changes into one step named `name`. Nested sequences join
    // the outermost one. A sequence in which nothing was recorded leaves no entry.
    void beginMergeSequence(const QString &name);
    void endMergeSequence();
    int mergeDepth() const { return m_depth; }

    void reset();
    void setClean();
    // True when nothing changed since setClean(): no step pushed or undone, and no
    // change made outside the history (see markUnrecordedChange()).
    bool isClean() const;
    // A change that is saved with the project but takes no undo step (a slider's
    // every position): the work is modified until the next setClean().
    void markUnrecordedChange()
    {
        m_unrecordedChange = true;
        tellClean();
    }
    // A project object changed, recorded or not (a value stored, undone or redone, an
    // object added or removed, or a change its owner reports): sig_changed tells
    // whoever keeps something derived from the project.
    void noteChange() { emit sig_changed(); }
    // The time typed text is judged by (a pause of a second ends its step): the
    // steady clock, unless a test hands in its own.
    using Clock = std::function<std::chrono::steady_clock::time_point()>;
    void setClock(Clock clock) { m_clock = std::move(clock); }
    std::chrono::steady_clock::time_point now() const
    {
        return m_clock ? m_clock() : std::chrono::steady_clock::now();
    }
    bool canUndo() const;
    bool canRedo() const;
    bool undo();
    bool redo();

signals:
    void sig_canUndo(bool available);
    void sig_canRedo(bool available);
    void sig_changed();
    // isClean() turned to `clean` (saved, or changed since the last save).
    void sig_cleanChanged(bool clean);

private:
    explicit UndoController(QObject *parent = nullptr);
    void closeMacro();
    void tellClean(); // sig_cleanChanged when isClean() differs from the last told

    QUndoStack *m_stack;
    int m_depth = 0;
    bool m_macroOpen = false;
    bool m_unrecordedChange = false;
    bool m_toldClean = true;
    QString m_pendingName;
    Clock m_clock;
};

// Keeps a merge sequence open for its scope, so every return path closes it.
class MergeSequence {
public:
    explicit MergeSequence(const QString &name)
    {
        UndoController::instance()->beginMergeSequence(name);
    }
    ~MergeSequence() { UndoController::instance()->endMergeSequence(); }
    MergeSequence(const MergeSequence &) = delete;
    MergeSequence &operator=(const MergeSequence &) = delete;
};

} // namespace zua
