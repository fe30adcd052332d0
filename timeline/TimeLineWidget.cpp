#include "TimeLineWidget.h"

#include "LegacyImport.h"
#include "SourceItem.h"
#include "TimeLineGraphicsScene.h"
#include "TimeLineGraphicsView.h"
#include "TimeLineRuler.h"
#include "TimeLineTreeView.h"
#include "TimelineDocument.h"
#include "TimelineSection.h"
#include "common/QssManager.h"

#include <QHBoxLayout>
#include <QScrollBar>
#include <QVBoxLayout>
#include <QXmlStreamReader>

TimeLineWidget::TimeLineWidget(QWidget *parent)
    : QWidget(parent), m_scene(new TimeLineGraphicsScene(this)), m_model(new TimelineDocument(this))
{
    setObjectName(QStringLiteral("TimeLineWidget"));
    resize(754, 333);
    const double s = QssManager::screenScale();
    m_model->buildGroups();
    m_view = new TimeLineGraphicsView(m_scene, m_model, this);
    m_view->setObjectName(QStringLiteral("graphicsView_timeline"));
    m_view->setFrameShape(QFrame::NoFrame);
    m_view->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_headers = new TimeLineTreeView(m_model, m_view, this);
    m_headers->setObjectName(QStringLiteral("treeView_timeline"));
    m_headers->setFixedWidth(int(130 * s));
    m_headers->setFrameShape(QFrame::NoFrame);
    m_headers->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_headers->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_ruler = new TimeLineRuler(this);
    m_ruler->setObjectName(QStringLiteral("widget_timeline"));
    m_ruler->setTransport(m_view->transport());

    auto *top = new QWidget(this);
    top->setObjectName(QStringLiteral("widget"));
    top->setFixedHeight(40);
    auto *margin = new QWidget(top);
    margin->setObjectName(QStringLiteral("widget_margin"));
    margin->setFixedWidth(int(130 * s));
    auto *topRow = new QHBoxLayout(top);
    topRow->setSpacing(0);
    topRow->setContentsMargins(0, 0, 0, 0);
    topRow->addWidget(margin);
    topRow->addWidget(m_ruler);
    auto *rows = new QHBoxLayout;
    rows->setSpacing(0);
    rows->setContentsMargins(0, 0, 0, 0);
    rows->addWidget(m_headers);
    rows->addWidget(m_view);
    auto *column = new QVBoxLayout(this);
    column->setSpacing(0);
    column->setContentsMargins(0, 0, 0, 0);
    column->addWidget(top);
    column->addLayout(rows);
    (new QssManager(this))->loadStyleSheet(QStringLiteral(":/qss/timeline-widget.css"));

    m_view->setRecordingTrackPicker(
        [headers = m_headers](int64_t frame) { return headers->recordingRow(frame); },
        [headers = m_headers](int row) { return headers->dubRowY(row); });
    connect(m_view, &TimeLineGraphicsView::sig_createSourceItem, m_headers,
            &TimeLineTreeView::slot_createSourceItem);
    // Headers and clips scroll together vertically.
    QScrollBar *headerBar = m_headers->verticalScrollBar();
    QScrollBar *clipBar = m_view->verticalScrollBar();
    connect(headerBar, &QScrollBar::valueChanged, this, [this, clipBar](int v) {
        clipBar->setValue(v);
        m_view->viewport()->update();
    });
    connect(clipBar, &QScrollBar::valueChanged, this, [this, headerBar](int v) {
        headerBar->setValue(v);
        m_headers->viewport()->update();
    });
    QScrollBar *hbar = m_view->horizontalScrollBar();
    connect(hbar, &QScrollBar::valueChanged, m_ruler, &TimeLineRuler::slot_offsetChange);
    connect(hbar, &QScrollBar::rangeChanged, m_ruler, &TimeLineRuler::slot_offsetrangeChanged);
    connect(m_view, &TimeLineGraphicsView::sig_scaleValue, m_ruler,
            &TimeLineRuler::slot_scaleValue);
    connect(m_view, &TimeLineGraphicsView::sig_scaleValue, this,
            [this](int level, double, int) { emit sig_scaleSliderValueChanged(level); });
    connect(m_view, &TimeLineGraphicsView::sig_moveValue, m_ruler, &TimeLineRuler::slot_moveValue);
    connect(m_scene, &TimeLineGraphicsScene::sig_limitPosX, m_ruler,
            &TimeLineRuler::slot_limitPosX);
    connect(m_ruler, &TimeLineRuler::sig_viewportRangeUpdate, m_view,
            &TimeLineGraphicsView::slot_viewportRangeUpdate);
    connect(m_ruler, &TimeLineRuler::sig_scaleStepView, m_view,
            &TimeLineGraphicsView::slot_scaleStepView);
    connect(m_view, &TimeLineGraphicsView::sig_splitButtonEnable, this,
            &TimeLineWidget::sig_splitButtonEnable);
    connect(m_view, &TimeLineGraphicsView::sig_editButtonEnable, this,
            &TimeLineWidget::sig_editButtonEnable);
    connect(m_view, &TimeLineGraphicsView::sig_showTime, this, &TimeLineWidget::sig_showTime);
    connect(m_scene, &TimeLineGraphicsScene::sig_showMenu, this, &TimeLineWidget::sig_showMenu);
}

TimeLineWidget::~TimeLineWidget()
{
    // The scene and the view are children destroyed after this widget has stopped
    // being one: their clips' removal changes the selection, whose signals would reach
    // this widget's slots. Nothing they announce from here on concerns anyone.
    m_scene->blockSignals(true);
    m_view->blockSignals(true);
}

void TimeLineWidget::readTimeline(QXmlStreamReader &reader)
{
    TimelineSection::read(*m_model, reader);
    m_headers->slot_sceneHeight();
    m_view->updateSceneWidth();
}

void TimeLineWidget::readLegacyScene(QXmlStreamReader &reader)
{
    m_legacy = std::make_unique<LegacyImport>(m_model, QSizeF(m_model->renderSize()));
    m_legacy->readObjects(reader);
}

void TimeLineWidget::readLegacyTree(QXmlStreamReader &reader)
{
    if (!m_legacy) // a tree without object records places nothing
        m_legacy = std::make_unique<LegacyImport>(m_model, QSizeF(m_model->renderSize()));
    m_legacy->readTree(reader);
    m_legacy.reset();
    m_headers->slot_sceneHeight();
    m_view->updateSceneWidth();
}

void TimeLineWidget::writeTimeline(QXmlStreamWriter &writer, bool archive)
{
    TimelineSection::write(*m_model, writer, archive);
}

void TimeLineWidget::resetTimeline()
{
    m_legacy.reset();
    m_headers->resetTracks();
    m_view->updateSceneWidth();
}

void TimeLineWidget::slot_scaleSliderValue(int value)
{
    m_view->setZoomLevel(value);
}

void TimeLineWidget::slot_splitSourceItem()
{
    m_view->split();
}

void TimeLineWidget::slot_updateData(int menuType, const bg::ValueMap &values,
                                     const std::string &datatype)
{
    m_scene->slot_updateData(menuType, values, datatype);
}

void TimeLineWidget::slot_closeMenu()
{
    m_scene->slot_closeMenu();
}

void TimeLineWidget::slot_editSourceItem()
{
    for (QGraphicsItem *item : m_scene->selectedItems())
        if (auto *clip = dynamic_cast<SourceItem *>(item)) {
            m_scene->showMenu(clip, clip->menuType(), 2, clip->panelValues());
            return;
        }
}

void TimeLineWidget::slot_clearSourceItems()
{
    m_view->clear();
}

void TimeLineWidget::slot_removeSourceItem()
{
    m_view->removeSelected();
}

void TimeLineWidget::slot_autoAlign(bool align)
{
    m_scene->setAutoAlign(align);
}

void TimeLineWidget::slot_updatePreview()
{
    m_view->viewport()->update();
    m_view->slot_resetFrame(m_view->playheadFrame(), EDIT_NONE, true);
}

void TimeLineWidget::setTransport(Transport *transport)
{
    m_view->setTransport(transport);
    m_ruler->setTransport(m_view->transport());
}
