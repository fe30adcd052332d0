// Clip and transition items in a real view: a missing material drawn grey without
// markers, and what presses and clicks ask for.
#include "common/QssManager.h"
#include "support/MediaFixtures.h"
#include "support/TimelineFixture.h"
#include "timeline/ClassifyItem.h"
#include "timeline/SourceItem.h"
#include "timeline/TimeLineGraphicsScene.h"
#include "timeline/TimelineDocument.h"

#include "support/EnglishTestMain.h"

#include <QApplication>
#include <QGraphicsView>
#include <QtTest>

class TestClipItems : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        QVERIFY(fixtures::ffmpeg({"-f", "lavfi", "-i", "testsrc2=s=320x240:r=30:d=2", "-pix_fmt",
                                  "yuv420p", m_dir.filePath("clip.mp4")}));
    }
    void init()
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
    void cleanup()
    {
        delete m_view;
        m_timeline.reset();
    }

    void missingMaterialIsGrayWithoutMarkers()
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
    void pressOpensThePanelAndSeeks()
    {
        QSignalSpy menus(m_scene, &TimeLineGraphicsScene::sig_showMenu);
        QSignalSpy seeks(m_scene, &TimeLineGraphicsScene::sig_seek);
        SourceItem *clip = m_model->createClip(m_model->group(CT_VIDEO), CT_VIDEO,
                                               m_dir.filePath("clip.mp4"), timeline::toScene(4));
        m_scene->clearSelection();
        QTest::mouseClick(m_view->viewport(), Qt::LeftButton, {},
                          viewPoint(clip, 10 * 50 + 20, 20));
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

private:
    QImage shot()
    {
        QApplication::processEvents();
        QImage img = m_view->viewport()->grab().toImage();
        if (qEnvironmentVariableIsSet("SHOT"))
            img.save("/tmp/clipitems.png");
        return img;
    }
    QPoint viewPoint(SourceItem *clip, double itemX, double itemY)
    {
        return m_view->mapFromScene(clip->mapToScene(QPointF(itemX, itemY)));
    }
    QTemporaryDir m_dir;
    TimeLineGraphicsScene *m_scene = nullptr;
    QGraphicsView *m_view = nullptr;
    TimelineDocument *m_model = nullptr;
    std::unique_ptr<fixtures::Timeline> m_timeline;
};

ZU_ENGLISH_TEST_MAIN(QApplication, TestClipItems)

#include "tst_clipitems.moc"
