#pragma once
// The timeline panel: the ruler above, the track headers left and the clips
// right, scrolled together. The rest of the editor reaches the timeline here:
// tool bar commands, the state shown by the tool bar and panels, and the
// project file's timeline section.
// Lives on: main thread.

#include "bridge/Value.h"
#include "render/RenderTypes.h"

#include <QWidget>

#include <cstdint>
#include <memory>

class LegacyImport;
class TimeLineGraphicsScene;
class TimeLineGraphicsView;
class Transport;
class TimeLineRuler;
class TimelineDocument;
class TimeLineTreeView;
class QXmlStreamReader;
class QXmlStreamWriter;

class TimeLineWidget : public QWidget {
    Q_OBJECT
public:
    explicit TimeLineWidget(QWidget *parent = nullptr);
    ~TimeLineWidget() override;

    TimelineDocument *model() const { return m_model; }
    TimeLineGraphicsView *view() const { return m_view; }
    // The transport the view and the ruler show and move (the view's own until set).
    void setTransport(Transport *transport);
    TimeLineTreeView *headers() const { return m_headers; }
    TimeLineRuler *ruler() const { return m_ruler; }

    void readTimeline(QXmlStreamReader &reader);
    // An older project: its object records ("ObjectMgr"), then its track tree
    // ("Tree"), which places them.
    void readLegacyScene(QXmlStreamReader &reader);
    void readLegacyTree(QXmlStreamReader &reader);
    void writeTimeline(QXmlStreamWriter &writer, bool archive);
    // Empties the timeline for a new or closed project.
    void resetTimeline();

signals:
    void sig_scaleSliderValueChanged(int value);
    void sig_splitButtonEnable(bool enable);
    void sig_editButtonEnable(bool enable);
    void sig_showTime(int64_t current, int64_t total);
    void sig_showMenu(int menuType, int clicks, const bg::ValueMap &values);

public slots:
    void slot_scaleSliderValue(int value);
    void slot_splitSourceItem();
    void slot_editSourceItem();
    void slot_clearSourceItems();
    void slot_removeSourceItem();
    void slot_autoAlign(bool align);
    void slot_updatePreview();
    // A property edit from a panel, for the clip or transition whose panel shows.
    void slot_updateData(int menuType, const bg::ValueMap &values, const std::string &datatype);
    // The panel closes (a release or double click on empty picture).
    void slot_closeMenu();

private:
    TimeLineGraphicsScene *m_scene;
    TimelineDocument *m_model;
    TimeLineGraphicsView *m_view;
    TimeLineTreeView *m_headers;
    TimeLineRuler *m_ruler;
    std::unique_ptr<LegacyImport> m_legacy; // between an older project's two sections
};
