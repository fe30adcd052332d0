// Clip and transition items in a real view: colours, markers, handles, labels
// that do not stretch, and what presses and clicks ask for.
#include "common/QssManager.h"
#include "common/ZuTransLator.h"
#include "support/MediaFixtures.h"
#include "support/TimelineFixture.h"
#include "timeline/ClassifyItem.h"
#include "timeline/SourceAnchor.h"
#include "timeline/SourceItem.h"
#include "timeline/TimeLineGraphicsScene.h"
#include "timeline/TimelineDocument.h"
#include "timeline/TransItem.h"

#include "undo/UndoController.h"

#include <QApplication>
#include <QGraphicsView>
#include <QtTest>

class TestClipItems : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void missingMaterialIsGrayWithoutMarkers();
    void markersAndHandlesAtEveryZoom_data();
    void markersAndHandlesAtEveryZoom();
    void pressOpensThePanelAndSeeks();
    void markerClickOpensTheTransitionPanel();
    void rightClickSelection();

private:
    QImage shot();
    QPoint viewPoint(SourceItem *clip, double itemX, double itemY);
    QTemporaryDir m_dir;
    TimeLineGraphicsScene *m_scene = nullptr;
    QGraphicsView *m_view = nullptr;
    TimelineDocument *m_model = nullptr;
    std::unique_ptr<fixtures::Timeline> m_timeline;
};

void TestClipItems::initTestCase()
{
    QVERIFY(fixtures::ffmpeg({"-f", "lavfi", "-i", "testsrc2=s=320x240:r=30:d=2", "-pix_fmt",
                              "yuv420p", m_dir.filePath("clip.mp4")}));
    QVERIFY(fixtures::ffmpeg({"-f", "lavfi", "-i", "sine=d=2", m_dir.filePath("tone.wav")}));
}

void TestClipItems::init()
{
    m_timeline = std::make_unique<fixtures::Timeline>(false); // a plain view below
    m_scene = &m_timeline->scene;
    m_model = &m_timeline->model;
    m_scene->setBackgroundBrush(Qt::black);
    m_view = new QGraphicsView(m_scene);
    m_view->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_view->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_view->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_view->setFrameShape(QFrame::NoFrame);
    m_view->resize(1000, 300);
    m_scene->setSceneRect(0, 0, 100000, 300);
    m_view->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_view));
}

void TestClipItems::cleanup()
{
    delete m_view;
    m_timeline.reset();
}

QImage TestClipItems::shot()
{
    QApplication::processEvents();
    QImage img = m_view->viewport()->grab().toImage();
    if (qEnvironmentVariableIsSet("SHOT"))
        img.save("/tmp/clipitems.png");
    return img;
}

QPoint TestClipItems::viewPoint(SourceItem *clip, double itemX, double itemY)
{
    return m_view->mapFromScene(clip->mapToScene(QPointF(itemX, itemY)));
}

void TestClipItems::missingMaterialIsGrayWithoutMarkers()
{
    SourceItem *clip =
        m_model->createClip(m_model->group(CT_VIDEO), CT_VIDEO, m_dir.filePath("clip.mp4"), 0);
    m_model->addTransition("clip_box", nullptr, clip, 2000, 5, false);
    clip->setValid(false);
    QCOMPARE(clip->fillColor(), QColor(Qt::gray));
    clip->setColor(Qt::green); // ignored for a missing file
    QCOMPARE(clip->fillColor(), QColor(Qt::gray));
    const QImage img = shot();
    const double s = QssManager::screenScale();
    const QColor marker = img.pixelColor(viewPoint(clip, 5, s * 18));
    QVERIFY2(marker.red() < 200 || marker.green() > 50, "no marker on a missing clip");
}

void TestClipItems::markersAndHandlesAtEveryZoom_data()
{
    QTest::addColumn<double>("zoom");
    QTest::newRow("1") << 1.0;
    QTest::newRow("0.2") << 0.2;
    QTest::newRow("3") << 3.0;
}

void TestClipItems::markersAndHandlesAtEveryZoom()
{
    QFETCH(double, zoom);
    m_view->resetTransform();
    m_view->scale(zoom, 1.0); // the timeline zooms horizontally only
    ClassifyItem *track = m_model->group(CT_VIDEO);
    SourceItem *a = m_model->createClip(track, CT_VIDEO, m_dir.filePath("clip.mp4"), 0);
    SourceItem *b = m_model->createClip(track, CT_VIDEO, m_dir.filePath("clip.mp4"), a->width);
    m_model->addTransition("over_cross", a, b, 1000, 5, false); // 15 frames each side
    QCOMPARE(a->tailTransFrames, int64_t(15));
    QCOMPARE(b->headTransFrames, int64_t(15));
    a->setSelected(false);
    b->setSelected(true);
    QVERIFY(b->anchor(false)->isVisible() && b->anchor(true)->isVisible());
    QVERIFY(!a->anchor(false)->isVisible());
    m_view->centerOn(b->sceneX(), 100); // the cut in the middle of the view
    const QImage img = shot();
    const double s = QssManager::screenScale();
    // Red markers at the cut, 18 s pixels high, at every zoom.
    const QPoint head = viewPoint(b, 100, s * 18);
    const QColor red = img.pixelColor(head);
    QVERIFY2(red.red() > 150 && red.green() < 60, qPrintable(red.name()));
    const QColor above = img.pixelColor(viewPoint(b, 100, s * 6));
    QVERIFY(!(above.red() > 150 && above.green() < 60));
    // The handles are 14 px across in the view whatever the zoom.
    const QPoint h = m_view->mapFromScene(b->anchor(false)->scenePos());
    const QColor handle = img.pixelColor(h.x(), h.y() - 5);
    QVERIFY2(handle.red() > 150 && handle.green() > 150 && handle.blue() < 100,
             qPrintable(handle.name()));
    const QColor outside = img.pixelColor(h.x(), h.y() - 9);
    QVERIFY(!(outside.red() > 150 && outside.green() > 150 && outside.blue() < 100));
}

void TestClipItems::pressOpensThePanelAndSeeks()
{
    QSignalSpy menus(m_scene, &TimeLineGraphicsScene::sig_showMenu);
    QSignalSpy seeks(m_scene, &TimeLineGraphicsScene::sig_seek);
    SourceItem *clip = m_model->createClip(m_model->group(CT_VIDEO), CT_VIDEO,
                                           m_dir.filePath("clip.mp4"), timeline::toScene(4));
    m_scene->clearSelection();
    QTest::mouseClick(m_view->viewport(), Qt::LeftButton, {}, viewPoint(clip, 10 * 50 + 20, 20));
    QVERIFY(clip->isSelected());
    QCOMPARE(menus.size(), 1);
    QCOMPARE(menus[0][0].toInt(), 1); // video panel
    QCOMPARE(menus[0][1].toInt(), 1); // one click
    const auto values = menus[0][2].value<bg::ValueMap>();
    QCOMPARE(values.at("uuid").toStdString(), clip->uuid.toStdString());
    // The panel shows the placement the clip has (a 320 × 240 clip shown whole in
    // the 1920 × 1080 project: 1440 × 1080).
    QCOMPARE(values.at("W").toDouble(), 1440.0);
    QCOMPARE(values.at("H").toDouble(), 1080.0);
    QCOMPARE(values.at("volume").toInt32(), 128);
    QVERIFY(!values.count("content"));
    QCOMPARE(seeks.size(), 1);
    QCOMPARE(seeks[0][0].toLongLong(), 14LL); // start 4 + 10 frames into the clip
    QTest::mouseDClick(m_view->viewport(), Qt::LeftButton, {}, viewPoint(clip, 60, 20));
    QCOMPARE(menus.last()[1].toInt(), 2);
}

void TestClipItems::markerClickOpensTheTransitionPanel()
{
    QSignalSpy menus(m_scene, &TimeLineGraphicsScene::sig_showMenu);
    ClassifyItem *track = m_model->group(CT_VIDEO);
    SourceItem *a = m_model->createClip(track, CT_VIDEO, m_dir.filePath("clip.mp4"), 0);
    SourceItem *b = m_model->createClip(track, CT_VIDEO, m_dir.filePath("clip.mp4"), a->width);
    m_model->addTransition("clip_radial", a, b, 2000, 5, false);
    const double s = QssManager::screenScale();
    QTest::mouseClick(m_view->viewport(), Qt::LeftButton, {}, viewPoint(b, 100, s * 15));
    QCOMPARE(menus.last()[0].toInt(), int(MENU_TRANSITION));
    auto values = menus.last()[2].value<bg::ValueMap>();
    QCOMPARE(values.at("direction").toInt32(), 1); // the "to" clip was clicked
    QCOMPARE(values.at("type").toStdString(), std::string("clip_radial"));
    QCOMPARE(values.at("duration").toInt64(), int64_t(2000));
    QTest::mouseClick(m_view->viewport(), Qt::LeftButton, {}, viewPoint(a, a->width - 100, s * 15));
    values = menus.last()[2].value<bg::ValueMap>();
    QCOMPARE(values.at("direction").toInt32(), -1);
}

void TestClipItems::rightClickSelection()
{
    ClassifyItem *track = m_model->group(CT_VIDEO);
    SourceItem *a = m_model->createClip(track, CT_VIDEO, m_dir.filePath("clip.mp4"), 0);
    SourceItem *b = m_model->createClip(track, CT_VIDEO, m_dir.filePath("clip.mp4"), a->width);
    SourceItem *c = m_model->createClip(track, CT_VIDEO, m_dir.filePath("clip.mp4"), 2 * a->width);
    a->setSelected(true);
    b->setSelected(true);
    c->setSelected(false);
    QTest::mouseClick(m_view->viewport(), Qt::RightButton, {}, viewPoint(b, 50, 20));
    QVERIFY(a->isSelected() && b->isSelected()); // a selected clip keeps the selection
    QTest::mouseClick(m_view->viewport(), Qt::RightButton, {}, viewPoint(c, 50, 20));
    QVERIFY(!a->isSelected() && !b->isSelected() && c->isSelected());
}

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    ZuTransLator translator(":/language/en-Us-new.ini");
    app.installTranslator(&translator);
    TestClipItems test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_clipitems.moc"
