// Clip and transition items in a real view: a missing material drawn grey without
// markers, and what presses and clicks ask for.
#include "common/QssManager.h"
#include "render/pictures/MaterialPictures.h"
#include "support/MediaFixtures.h"
#include "support/SceneGrab.h"
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
        qputenv("XDG_CACHE_HOME", m_dir.filePath("cache").toUtf8());
        QVERIFY(fixtures::ffmpeg({"-f", "lavfi", "-i", "color=c=red:s=320x240:r=30:d=2", "-f",
                                  "lavfi", "-i", "sine=f=440:d=2", "-pix_fmt", "yuv420p",
                                  "-shortest", m_dir.filePath("tone.mp4")}));
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
        SourceItem *clip =
            m_model->createClip(m_model->group(CT_VIDEO), CT_VIDEO, m_dir.filePath("clip.mp4"), 4);
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

    void filmstripsStayInsideAndSoundShowsUnder_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<bool>("sound");
        QTest::newRow("video with sound") << "tone.mp4" << true;
        QTest::newRow("silent video") << "clip.mp4" << false;
    }
    void filmstripsStayInsideAndSoundShowsUnder()
    {
        QFETCH(QString, file);
        QFETCH(bool, sound);
        const QString path = m_dir.filePath(file);
        SourceItem *clip = m_model->createClip(m_model->group(CT_VIDEO), CT_VIDEO, path, 0);
        // 53 frames at 2.5 view pixels a frame: the clip ends inside a picture.
        clip->setValue("source", SourceData::sourceValue(clip->track, 0, 53, 0), false, true);
        m_view->setTransform(QTransform::fromScale(0.05, 1));
        MaterialPictures::instance().filmstrip(path);
        MaterialPictures::instance().peaks(path);
        MaterialPictures::instance().waitForAll();
        m_scene->clearSelection(); // no handles
        clip->update();
        const QImage img = shot();
        const QPoint end = viewPoint(clip, clip->sceneWidth(), 0);
        const int top = viewPoint(clip, 0, 0).y(), bottom = top + int(clip->height());
        // Nothing of the clip's pictures right of its end.
        for (int x = end.x() + 1; x < end.x() + 40; ++x)
            for (int y = top + 3; y < bottom - 3; ++y)
                QVERIFY2(img.pixelColor(x, y).red() < 128,
                         qPrintable(QString("picture at %1,%2 past the clip's end").arg(x).arg(y)));
        // Under the pictures, the waveform of the sound, when there is one.
        int wave = 0;
        for (int y = top + int(clip->height() * 0.66); y < bottom - 2; ++y)
            wave +=
                fixtures::sameColour(img.pixelColor(end.x() / 2, y), QColor(0xd8, 0xd4, 0xf0), 30);
        QCOMPARE(wave > 4, sound);
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
