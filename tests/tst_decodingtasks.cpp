// Decoding tasks: open decoders follow the latest request, and one file serves both
// sides of a transition; the preview decodes each picture at the size it is drawn at.
#include "render/compose/VideoDecoding.h"
#include "support/MediaFixtures.h"
#include "support/Probe.h"
#include "support/SceneGrab.h"

#include <QtTest>

namespace {

FrameSource source(const QString &path, int64_t time)
{
    FrameSource s;
    s.path = path;
    s.time = time;
    s.id = "{clip}";
    s.crop = QRect(0, 0, 320, 240);
    s.width = 320;
    s.height = 240;
    return s;
}

// Frame `index` of `path` as ffmpeg shows it (turned upright), through `filter`, as RGB.
QImage referenceFrame(const QString &path, int index, const QString &filter, QSize size)
{
    const QByteArray rgb =
        fixtures::decode(path, {"-vf", QString("select=eq(n\\,%1),%2").arg(index).arg(filter),
                                "-frames:v", "1", "-f", "rawvideo", "-pix_fmt", "rgb24"});
    if (rgb.size() != size.width() * size.height() * 3)
        return QImage();
    return QImage(reinterpret_cast<const uchar *>(rgb.constData()), size.width(), size.height(),
                  size.width() * 3, QImage::Format_RGB888)
        .copy();
}

// The part of a decoded picture the preview draws.
QImage drawnPart(const VFrameInfo &info)
{
    const ff::VFrameCtx &f = *info.frame;
    const QRect whole(0, 0, f.width, f.height);
    const QRect part = info.crop.isEmpty() ? whole : info.crop.intersected(whole);
    return QImage(f.data(), f.width, f.height, f.stride, QImage::Format_RGBA8888).copy(part);
}

} // namespace

class TestDecodingTasks : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        QVERIFY(fixtures::numberedVideo(path("a.mp4"), 2, 30));
        QVERIFY(fixtures::numberedVideo(path("b.mp4"), 2, 30));
        QVERIFY(
            fixtures::ffmpeg({"-f", "lavfi", "-i", "testsrc2=s=640x360:r=30:d=1", "-c:v", "libx264",
                              "-crf", "12", "-pix_fmt", "yuv420p", path("wide.mp4")}));
        // A phone clip: stored 640 × 360, shown turned a quarter (360 × 640). Grey: the
        // colour planes' siting is turned with the picture by ffmpeg but not by us,
        // which moves colour edges by half a pixel and would decide the figure alone.
        QVERIFY(fixtures::ffmpeg({"-i", path("wide.mp4"), "-vf", "hue=s=0", "-c:v", "libx264",
                                  "-crf", "12", path("grey.mp4")}));
        QVERIFY(fixtures::ffmpeg({"-i", path("grey.mp4"), "-c", "copy", "-metadata:s:v:0",
                                  "rotate=90", path("phone.mp4")}));
    }
    void picturesAreDecodedAtTheSizeTheyAreDrawn_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QRect>("crop");     // the clip's crop, in the picture as shown
        QTest::addColumn<QSizeF>("box");     // the clip's box, scene units
        QTest::addColumn<int>("fitMode");    // 1 keeps the aspect
        QTest::addColumn<double>("scale");   // pixels drawn per scene unit
        QTest::addColumn<bool>("partOnly");  // playing: only the crop's part converted
        QTest::addColumn<QSize>("drawn");    // the size of the part handed to the drawing
        QTest::addColumn<QString>("filter"); // ffmpeg's way to the same picture
        const QRect all;
        QTest::newRow("whole, view at half size")
            << "wide.mp4" << all << QSizeF(640, 360) << 1 << 0.5 << true << QSize(320, 180)
            << "scale=320:180:flags=bilinear";
        QTest::newRow("whole, at its own size") << "wide.mp4" << all << QSizeF(640, 360) << 1 << 1.0
                                                << true << QSize(640, 360) << "null";
        QTest::newRow("never made larger than it is") << "wide.mp4" << all << QSizeF(1280, 720) << 1
                                                      << 1.0 << true << QSize(640, 360) << "null";
        QTest::newRow("kept aspect in a square box")
            << "wide.mp4" << all << QSizeF(640, 640) << 1 << 0.5 << true << QSize(320, 180)
            << "scale=320:180:flags=bilinear";
        QTest::newRow("stretched to its box")
            << "wide.mp4" << all << QSizeF(320, 360) << 0 << 1.0 << true << QSize(320, 360)
            << "scale=320:360:flags=bilinear";
        QTest::newRow("cropped, playing: the part alone")
            << "wide.mp4" << QRect(160, 90, 320, 180) << QSizeF(320, 180) << 1 << 0.5 << true
            << QSize(160, 90) << "crop=320:180:160:90,scale=160:90:flags=bilinear";
        QTest::newRow("cropped, still: the whole picture, scaled")
            << "wide.mp4" << QRect(160, 90, 320, 180) << QSizeF(320, 180) << 1 << 0.5 << false
            << QSize(160, 90) << "crop=320:180:160:90,scale=160:90:flags=bilinear";
        QTest::newRow("turned phone clip, half")
            << "phone.mp4" << all << QSizeF(360, 640) << 1 << 0.5 << true << QSize(180, 320)
            << "scale=180:320:flags=bilinear";
        QTest::newRow("turned phone clip, cropped, still")
            << "phone.mp4" << QRect(0, 0, 360, 320) << QSizeF(180, 160) << 1 << 1.0 << false
            << QSize(180, 160) << "crop=360:320:0:0,scale=180:160:flags=bilinear";
        QTest::newRow("turned phone clip, cropped, playing")
            << "phone.mp4" << QRect(0, 0, 360, 320) << QSizeF(180, 160) << 1 << 1.0 << true
            << QSize(180, 160) << "crop=360:320:0:0,scale=180:160:flags=bilinear";
    }
    void picturesAreDecodedAtTheSizeTheyAreDrawn()
    {
        QFETCH(QString, file);
        QFETCH(QRect, crop);
        QFETCH(QSizeF, box);
        QFETCH(int, fitMode);
        QFETCH(double, scale);
        QFETCH(bool, partOnly);
        QFETCH(QSize, drawn);
        QFETCH(QString, filter);
        VideoTaskManager manager;
        VideoFrameData r;
        r.decodeMask = DECODE_CURRENT;
        r.current = source(path(file.toUtf8().constData()), 10);
        r.current.crop = crop;
        r.current.width = float(box.width());
        r.current.height = float(box.height());
        r.current.fitMode = fitMode;
        DecodeFit fit;
        fit.pixelsPerUnit = scale;
        fit.partOnly = partOnly;
        const QList<VFrameInfo> got = manager.fetch(r, fit);
        QVERIFY(got[0].frame);
        const QImage ours = drawnPart(got[0]);
        QCOMPARE(ours.size(), drawn);
        if (partOnly) // nothing but the part was converted
            QCOMPARE(QSize(got[0].frame->width, got[0].frame->height), drawn);
        const QImage want = referenceFrame(path(file.toUtf8().constData()), 10, filter, drawn);
        const double db = fixtures::psnr(ours, want);
        qInfo("PSNR %.1f dB", db);

        QVERIFY2(db >= 30, qPrintable(QString::number(db)));
    }
    void aPictureThatWouldBeLateIsNotConverted()
    {
        VideoTaskManager manager;
        VideoFrameData r;
        r.decodeMask = DECODE_CURRENT;
        r.current = source(path("a.mp4"), 20);
        DecodeFit fit;
        int asked = 0;
        fit.stillWanted = [&asked] { return ++asked > 1; }; // the first is late
        QVERIFY(!manager.fetch(r, fit)[0].frame);
        r.current.time = 21;
        const QList<VFrameInfo> got = manager.fetch(r, fit);
        QVERIFY(got[0].frame);
        QCOMPARE(fixtures::frameIndexOf(got[0].frame->data(), got[0].frame->width,
                                        got[0].frame->height, got[0].frame->stride),
                 21);
    }
    void decodersFollowTheLatestRequest()
    {
        VideoTaskManager manager;
        VideoFrameData r;
        r.decodeMask = DECODE_CURRENT;
        r.current = source(path("a.mp4"), 12);
        QList<VFrameInfo> got = manager.fetch(r);
        QCOMPARE(got.size(), 3);
        QVERIFY(got[0].frame);
        QCOMPARE(fixtures::frameIndexOf(got[0].frame->data(), got[0].frame->width,
                                        got[0].frame->height, got[0].frame->stride),
                 12);
        QCOMPARE(got[0].id, QString("{clip}"));
        QVERIFY(!got[1].frame && !got[2].frame);
        QCOMPARE(got[1].transparency, 1.0f);
        QCOMPARE(manager.paths(), QStringList({path("a.mp4")}));
        const int live = VideoDecoderTask::liveCount();
        r.current.time = 13;
        manager.fetch(r); // same clip: the decoder is kept
        QCOMPARE(VideoDecoderTask::liveCount(), live);
        r.current = source(path("b.mp4"), 3);
        got = manager.fetch(r); // another clip: the old decoder goes
        QCOMPARE(manager.paths(), QStringList({path("b.mp4")}));
        QCOMPARE(VideoDecoderTask::liveCount(), live);
        QCOMPARE(fixtures::frameIndexOf(got[0].frame->data(), got[0].frame->width,
                                        got[0].frame->height, got[0].frame->stride),
                 3);
        r.decodeMask = 0; // nothing asked: every decoder closes
        manager.fetch(r);
        QCOMPARE(VideoDecoderTask::liveCount(), live - 1);
    }
    void oneFileServesBothSidesOfATransition()
    {
        VideoTaskManager manager;
        VideoFrameData r;
        r.decodeMask = DECODE_FROM | DECODE_TO;
        r.from = source(path("a.mp4"), 50);
        r.to = source(path("a.mp4"), 5);
        const int live = VideoDecoderTask::liveCount();
        const QList<VFrameInfo> got = manager.fetch(r);
        QCOMPARE(VideoDecoderTask::liveCount(), live + 1);
        QVERIFY(!got[0].frame);
        QCOMPARE(fixtures::frameIndexOf(got[1].frame->data(), 320, 240, got[1].frame->stride), 50);
        QCOMPARE(fixtures::frameIndexOf(got[2].frame->data(), 320, 240, got[2].frame->stride), 5);
        manager.clear();
        QCOMPARE(VideoDecoderTask::liveCount(), live);
    }

private:
    QString path(const char *name) const { return m_dir.filePath(name); }
    QTemporaryDir m_dir;
};

QTEST_GUILESS_MAIN(TestDecodingTasks)
#include "tst_decodingtasks.moc"
