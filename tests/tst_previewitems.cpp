// Preview items through the real device: a crop shows only its part, the fast
// full-frame path shows what drawing shows, and while playing each picture is
// shown when its frame is heard.
#include "render/RefCountedObject.h"
#include "render/RenderManager.h"
#include "render/compose/SubtitlePreviewItem.h"
#include "render/compose/VideoPreviewItem.h"
#include "render/player/PlaybackClock.h"
#include "support/MediaFixtures.h"
#include "support/SceneGrab.h"

#include "graphics/GsDevice.h"

#include "bridge/SystemServices.h"

#include <QImage>
#include <QtTest>

namespace {

bool near(const QColor &a, const QColor &b, int tolerance = 12)
{
    return fixtures::sameColour(a, b, tolerance);
}

FrameSource source(const QString &path, QRect crop, QRectF target, int fitMode = 0)
{
    FrameSource s;
    s.path = path;
    s.time = 5;
    s.crop = crop;
    s.fitMode = fitMode;
    s.x = float(target.x());
    s.y = float(target.y());
    s.width = float(target.width());
    s.height = float(target.height());
    return s;
}

} // namespace

// An opaque picture covering the scene texel for pixel is copied into the scene
// instead of drawn; the copy must show exactly what drawing it shows.

class TestPreviewItems : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        QVERIFY(fixtures::ffmpeg({"-f", "lavfi", "-i", "color=c=red:s=160x120:d=1", "-pix_fmt",
                                  "yuv420p", path("red.mp4")}));
        QVERIFY(fixtures::ffmpeg({"-f", "lavfi", "-i", "color=c=blue:s=160x120:d=1", "-pix_fmt",
                                  "yuv420p", path("blue.mp4")}));
        QVERIFY(fixtures::ffmpeg(
            {"-f", "lavfi", "-i",
             "color=c=red:s=160x120:d=1,drawbox=x=80:y=0:w=80:h=120:color=blue:t=fill", "-pix_fmt",
             "yuv420p", path("halves.mp4")}));
        QVERIFY(fixtures::ffmpeg({"-f", "lavfi", "-i", "color=c=lime:s=320x180:d=1", "-pix_fmt",
                                  "yuv420p", path("wide.mp4")}));
        QVERIFY(fixtures::ffmpeg({"-f", "lavfi", "-i", "testsrc2=s=336x192:d=1", "-pix_fmt",
                                  "yuv420p", path("pattern.mp4")}));
        QVERIFY(fixtures::ffmpeg({"-f", "lavfi", "-i", "testsrc2=s=64x36:r=30:d=1", "-pix_fmt",
                                  "yuv420p", path("count30.mp4")}));
        m_rm = new RenderManager;
        QVERIFY(m_rm->init());
        m_rm->stopRenderThread(); // the test drives the device itself
        GsDevice::DefaultDevice()->MakeCurrent();
        m_rm->setSceneSize(320, 180, true);
    }
    void cleanupTestCase() { delete m_rm; }
    void init()
    {
        m_item = new RefCountedObject<VideoPreviewItem>(320, 180);
        m_item->AddRef();
        m_rm->addItem(m_item);
    }
    void cleanup()
    {
        m_rm->removeItem(m_item);
        m_item->Release();
    }
    void cropShowsOnlyItsPart()
    {
        VideoFrameData r;
        r.decodeMask = DECODE_CURRENT;
        r.showMask = SHOW_CLIP;
        r.current = source(path("halves.mp4"), QRect(80, 0, 80, 120), QRectF(0, 0, 200, 100));
        const QImage img = show(r, 0, 0, 200, 100);
        QCOMPARE(m_item->textureSize(), QSize(80, 120));
        QVERIFY(near(img.pixelColor(80, 90), Qt::blue)); // the left edge shows the right half
        QVERIFY(near(img.pixelColor(240, 90), Qt::blue));
    }
    void fullFramePictureMatchesItsDrawing_data()
    {
        QTest::addColumn<QRect>("crop");
        QTest::newRow("whole frame of the scene's size") << QRect(0, 0, 320, 180);
        QTest::newRow("crop of a larger frame") << QRect(9, 7, 320, 180);
    }
    void fullFramePictureMatchesItsDrawing()
    {
        QFETCH(QRect, crop);
        VideoFrameData r;
        r.decodeMask = DECODE_CURRENT;
        r.showMask = SHOW_CLIP;
        r.current = source(path("pattern.mp4"), crop, QRectF(0, 0, 320, 180), 0);
        const QImage copied = show(r, 0, 0, 320, 180);
        r.current.transparency = 0.999f; // no longer opaque: drawn and blended over black
        const QImage drawn = show(r, 0, 0, 320, 180);
        QCOMPARE(copied.size(), QSize(320, 180));
        int worst = 0;
        for (int y = 0; y < 180; ++y)
            for (int x = 0; x < 320; ++x) {
                const QColor a = copied.pixelColor(x, y), b = drawn.pixelColor(x, y);
                worst = std::max({worst, std::abs(a.red() - b.red()),
                                  std::abs(a.green() - b.green()), std::abs(a.blue() - b.blue())});
            }
        QVERIFY2(worst <= 1, qPrintable(QString("largest difference %1").arg(worst)));

        // Cropped afterwards and fitted with bars: the bars are black, not the last copy.
        r.current.transparency = 1.0f;
        r.current.crop = QRect(crop.x() + 100, crop.y(), 200, 60);
        r.current.fitMode = 1;
        const QImage barred = show(r, 0, 0, 320, 180);
        QVERIFY(near(barred.pixelColor(160, 90), copied.pixelColor(160, 90), 255)); // drawn
        QVERIFY2(near(barred.pixelColor(160, 5), Qt::black), "top bar");
        QVERIFY2(near(barred.pixelColor(160, 174), Qt::black), "bottom bar");
    }
    void subtitlePicturesStayWithinTheDevice_data()
    {
        QTest::addColumn<int>("characters");
        QTest::addColumn<bool>("wraps");
        QTest::newRow("a line") << 20 << false;
        QTest::newRow("100,000 characters pasted") << 100000 << true;
    }
    void subtitlePicturesStayWithinTheDevice()
    {
        // A pasted novel: its picture stays within what one texture can be (a few tens
        // of megabytes, not gigabytes) and shows its text; a short line is not wrapped.
        QFETCH(int, characters);
        QFETCH(bool, wraps);
        QString text;
        for (int i = 0; i < characters; ++i)
            text += QChar(i % 7 == 6 ? ' ' : 'a' + i % 26);
        QFont font;
        font.setPixelSize(48);
        const QSize box = SubtitlePreviewItem::textBoxOf(text, font);
        QVERIFY(box.width() <= SubtitlePreviewItem::kMaxSide);
        QVERIFY(box.height() <= SubtitlePreviewItem::kMaxSide);
        QCOMPARE(box.height() > 2 * QFontMetrics(font).lineSpacing(), wraps);
        const QImage picture =
            SubtitlePreviewItem::paint(text, font, Qt::white, box, box.expandedTo(QSize(640, 360)));
        QVERIFY(picture.sizeInBytes() <=
                qint64(4) * SubtitlePreviewItem::kMaxSide * SubtitlePreviewItem::kMaxSide);
        int lit = 0;
        for (int y = 0; y < picture.height(); y += 4)
            for (int x = 0; x < picture.width(); x += 4)
                lit += qAlpha(picture.pixel(x, y)) > 128;
        QVERIFY(lit > 20);
    }
    void playingShowsTheFrameBeingHeard()
    {
        auto clock = std::make_shared<PlaybackClock>();
        m_item->setClock(clock);
        VideoFrameData r;
        r.decodeMask = DECODE_CURRENT;
        r.showMask = SHOW_CLIP;
        r.current = source(path("count30.mp4"), QRect(0, 0, 64, 36), QRectF(0, 0, 320, 180));
        // The frame of the picture shown (its time is rounded to microseconds).
        auto shown = [this] { return (m_item->shownPtsUs() * 30 + 500000) / 1000000; };
        auto tick = [this] { fixtures::composeScene(m_rm->scene(), 320, 180); };
        // Frame 10's sound is queued, 99 ms of it not yet heard: frame 7 is heard. The
        // measurement is dated ahead, so the clock stands still during the test.
        const int64_t later = bg::SystemServices::monotonicMicros() + 60000000;
        clock->publish(10, 30, 99000, later);
        const int before = m_item->decodedRequests();
        for (int64_t f = 7; f <= 9; ++f) {
            r.current.time = f;
            m_item->scheduleFrameData(r, f);
        }
        QTRY_COMPARE_WITH_TIMEOUT(m_item->decodedRequests() - before, 3, 5000);
        tick();
        QCOMPARE(shown(), int64_t(7));
        QVERIFY(m_item->visible);
        tick(); // nothing newer is heard: the same picture stays
        QCOMPARE(shown(), int64_t(7));
        clock->publish(10, 30, 40000, later); // 40 ms left: frame 8
        tick();
        QCOMPARE(shown(), int64_t(8));
        // Paused: the clock stops and the newest picture (the play position) shows.
        clock->reset();
        tick();
        QCOMPARE(shown(), int64_t(9));
        // Frames whose sound has already been heard are not decoded at all.
        clock->publish(20, 30, 0, later); // frame 19 heard
        const int skipped = m_item->decodedRequests();
        for (int64_t f = 12; f <= 19; ++f) {
            r.current.time = f;
            m_item->scheduleFrameData(r, f);
        }
        QTRY_VERIFY_WITH_TIMEOUT(m_item->decodedRequests() > skipped, 5000);
        QTest::qWait(100);
        QVERIFY2(m_item->decodedRequests() - skipped <= 3, // of 8
                 qPrintable(QString::number(m_item->decodedRequests() - skipped)));
        tick();
        QCOMPARE(shown(), int64_t(19));
        // A seek while frames wait to be heard: the seek's picture shows at once.
        clock->publish(30, 30, 99000, later);
        for (int64_t f = 25; f <= 29; ++f) {
            r.current.time = f;
            m_item->scheduleFrameData(r, f);
        }
        r.current.time = 3;
        // Waiting frames may finish decoding first; the seek's picture is the one shown
        // once it is there, never one of them.
        show(r, 0, 0, 320, 180);
        QTRY_COMPARE_WITH_TIMEOUT((tick(), shown()), int64_t(3), 5000);
        m_item->setClock(nullptr);
    }

private:
    QImage show(const VideoFrameData &request, float x, float y, float w, float h)
    {
        m_item->MoveTo(x, y);
        m_item->Resize(w, h);
        const int before = m_item->decodedRequests();
        m_item->setFrameData(request);
        QElapsedTimer t;
        t.start();
        while (m_item->decodedRequests() == before && t.elapsed() < 5000)
            QTest::qWait(5);
        return fixtures::composeScene(m_rm->scene(), 320, 180);
    }
    QString path(const char *name) const { return m_dir.filePath(name); }
    QTemporaryDir m_dir;
    RenderManager *m_rm = nullptr;
    RefCountedObject<VideoPreviewItem> *m_item = nullptr;
};

QTEST_MAIN(TestPreviewItems)

#include "tst_previewitems.moc"
