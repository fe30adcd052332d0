#pragma once
// The timeline as a document: its tracks (root, six groups, their tracks), the
// clips and transitions placed on them, and the edits that make and remove them.
// It needs no view: a graphics scene attaches to show the clips. Views read it
// through TrackTreeModel (the header rows) and the scene; the engines through the
// snapshot TimelinePublisher makes; the project file through TimelineSection.
// Lives on: main thread.

#include "TimelineTypes.h"
#include "bridge/Value.h"
#include "common/FrameSize.h"
#include "common/MaterialPaths.h"

#include <QColor>
#include <QFont>
#include <QGraphicsScene>
#include <QHash>
#include <QObject>
#include <QPointer>
#include <QSize>

#include <functional>
#include <memory>

class ClassifyItem;

class QXmlStreamReader;
class QXmlStreamWriter;
class SourceItem;
class TimelinePublisher;
class TrackTreeModel;
class TransItem;

class TimelineDocument : public QObject {
    Q_OBJECT
public:
    explicit TimelineDocument(QObject *parent = nullptr);
    ~TimelineDocument() override;

    // ---- tracks ----
    // The track tree as an item model (a child), for the track header view.
    TrackTreeModel *trackTree() const { return m_tree; }
    void buildGroups();
    ClassifyItem *root() const { return m_root.get(); }
    ClassifyItem *group(uint32_t kind) const;
    ClassifyItem *insertTrack(ClassifyItem *group, int row, bool recordUndo);
    void removeTrack(ClassifyItem *track, bool recordUndo);
    // Row changes without undo (also what undo and redo replay).
    void insertTrackRow(ClassifyItem *track, int row);
    void removeTrackRow(ClassifyItem *track);
    // Every track in group order: each group, then its tracks.
    QList<ClassifyItem *> tracks() const;

    // ---- clips ----
    // The scene that shows the clips and transitions (null until one attaches): they
    // are added to it now and whenever they join the timeline.
    void attachScene(QGraphicsScene *scene);
    QGraphicsScene *scene() const { return m_scene; }
    // Deselects every clip; select() makes one clip the selection.
    void clearSelection();
    void select(SourceItem *clip);
    // Makes a clip from a material and puts it on the track at a frame, as one
    // undoable step (later clips of the track move right to make room). Null when the
    // material is not valid.
    SourceItem *createClip(ClassifyItem *track, uint32_t kind, const QString &path,
                           int64_t startFrame, const QColor &colour = QColor(),
                           const QFont &font = QFont());
    // Picks the track for a material dropped on `row` (the row under the drop
    // point): the row itself when its kind matches, else the material's group, or
    // that group's last track when the row's kind code is not below the material's.
    ClassifyItem *trackForDrop(ClassifyItem *row, uint32_t kind) const;
    // Makes the clip a drop asked for ({"path", "posX", "type", "alsoAs"}) on `row`,
    // the row under the pointer; the clip starts at posX, the frame under the pointer.
    // (Not 50 view pixels to its left: people expect a clip to start where they let
    // it go.)
    SourceItem *createFromDrop(const bg::ValueMap &request, ClassifyItem *row, const QColor &colour,
                               const QFont &font);
    // Pushes overlapping clips of the track to the right (with undo).
    void resolveOverlaps(ClassifyItem *track);
    QList<SourceItem *> clips() const;
    // The clip on the timeline with this uuid, or null.
    SourceItem *clipByUuid(const QString &uuid) const;
    // A group or track now in the tree, or null.
    ClassifyItem *trackByUuid(const QString &uuid) const;
    // A track took a clip on or let it go (keeps the uuid index and the count of
    // pictures and videos).
    void clipJoined(SourceItem *clip);
    void clipLeft(SourceItem *clip);

    // ---- transitions ----
    // Finishes a clip read from a project file (its record filled, its track set):
    // probes its material and adds it to its track. A reader adding many clips
    // passes `resolve` false and resolves the track's overlaps once when it is read.
    void adoptLoadedClip(SourceItem *clip, bool resolve = true);
    TransItem *addTransition(const QString &name, SourceItem *from, SourceItem *to,
                             int64_t durationMs, int ratio, bool recordUndo);
    void removeTransition(TransItem *transition, bool recordUndo);
    // Deletes (with undo) transitions that lost a clip or whose gap changed;
    // recomputes the others.
    void checkTransitions();
    const QList<TransItem *> &transitions() const { return m_transitions; }
    void transitionShown(TransItem *t, bool shown);
    // The transition at the clip's head (or tail), or null.
    TransItem *transitionAt(const SourceItem *clip, bool head) const;

    // Empties every track and removes the added tracks, without undo.
    void clearAll();
    // How the open project names its files (kept, must outlive the model).
    void setMaterialPaths(const MaterialPaths *paths) { m_paths = paths; }
    const MaterialPaths &materialPaths() const { return *m_paths; }
    // Material information: the file alone by default; the editor hands in the render
    // manager's probe, which lets the first video set the project's size.
    using Probe = std::function<bg::ValueMap(const QString &path, bool autoSize)>;
    void setProbe(Probe probe) { m_probe = std::move(probe); }
    bg::ValueMap probe(const QString &path, bool autoSize) const;

    // The project's picture size, for the panels' "fill the frame" commands.
    void setRenderSize(const QSize &size) { m_renderSize = size; }
    QSize renderSize() const { return m_renderSize; }

    // Publishes what the engines read (a snapshot after each change).
    TimelinePublisher *publisher() const { return m_publisher; }

    // Clips, tracks and transitions changed: the view recomputes and repaints.
    void notifyChanged() { emit sig_timelineChanged(); }

public slots:
    // Edits that reach the timeline by the clip's uuid (from the preview); an unknown
    // uuid changes nothing. Stores the placement a gesture left, as one undoable step.
    void slot_clipGeometryEdited(const QString &clip, const QRectF &rect, int rotate);
    // Selects or deselects the clip on the timeline.
    void slot_selectClip(const QString &clip, bool selected);

signals:
    void sig_timelineChanged();
    void sig_opertorUi(bool stopPlay, bool stopRecord);

private:
    // Checks the document's consistency after changes (debug and sanitizer builds).
    void watchConsistency();

    bool m_checkQueued = false;
    QPointer<QGraphicsScene> m_scene;       // the view's, when one is attached
    QList<QPointer<SourceItem>> m_selected; // selected here while no scene is attached
    std::unique_ptr<ClassifyItem> m_root;
    QList<TransItem *> m_transitions;
    int m_visualClips = 0;
    QHash<QString, SourceItem *> m_byUuid;                // the clips on the timeline
    QMultiHash<QString, TransItem *> m_transitionsByClip; // by the uuids of their clips
    Probe m_probe;
    QSize m_renderSize{framesize::kDefaultWidth, framesize::kDefaultHeight};
    const MaterialPaths *m_paths = &MaterialPaths::plain();
    TimelinePublisher *m_publisher; // a child
    TrackTreeModel *m_tree;         // a child
};
