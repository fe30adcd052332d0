// A user's library is messy: media in many shapes (odd sizes, 10-bit, 4:2:2 and 4:4:4,
// portrait, rotation metadata, variable frame rate, no sound, many channels and rates,
// GIF, large stills) and broken files of every kind. Each shape goes through the paths a
// real library takes — import with its thumbnail, frame-exact decode, sound decode —
// and each broken file is reported as damaged without blocking. Run under
// AddressSanitizer (scripts/sanitize.sh), a buffer too small for FFmpeg's converters
// fails here.
#include "common/Resources.h"
#include "resource/MaterialManager.h"
#include "support/MediaFixtures.h"

#include "media/FFDecoder.h"
#include "media/MovieInfo.h"
#include "undo/UndoController.h"

#include <QtTest>

#include <sys/stat.h>

#include <cmath>

using namespace ff;

namespace {

struct Shape {
    const char *file;
    const char *make;  // ffmpeg arguments that make it (inputs and encoding), space-separated
    int width, height; // 0: no picture
    int channels;      // of the source sound; 0: none
};

// Each is about one second, so that the whole set stays quick under the sanitizers.
const Shape kShapes[] = {
    {"hd10bit.mp4",
     "-f lavfi -i testsrc2=s=1920x1080:d=1:r=30 -f lavfi -i sine=f=440:d=1 -pix_fmt yuv420p10le "
     "-c:v libx264 -preset ultrafast -shortest",
     1920, 1080, 1},
    {"portrait.mp4",
     "-f lavfi -i testsrc2=s=1080x1920:d=1 -c:v libx264 -preset ultrafast -pix_fmt yuv420p", 1080,
     1920, 0},
    {"odd444.mp4",
     "-f lavfi -i testsrc2=s=1922x1082:d=1,format=rgb24,crop=1921:1081:0:0 -c:v libx264 -preset "
     "ultrafast -pix_fmt yuv444p",
     1921, 1081, 0},
    {"ntsc422.mp4",
     "-f lavfi -i testsrc2=s=640x360:d=1:r=24000/1001 -c:v libx264 -preset ultrafast -pix_fmt "
     "yuv422p",
     640, 360, 0},
    {"mono720.mov",
     "-f lavfi -i testsrc2=s=1280x720:d=1 -f lavfi -i sine=f=440:d=1 -c:v libx264 -preset "
     "ultrafast -pix_fmt yuv420p -ac 1 -shortest",
     1280, 720, 1},
    {"tiny-odd.avi", "-f lavfi -i testsrc2=s=334x198:d=1,format=rgb24,crop=333:197:0:0 -c:v mpeg4",
     333, 197, 0},
    {"one-pixel-wide.avi", "-f lavfi -i testsrc2=s=2x98:d=1,format=rgb24,crop=2:97:0:0 -c:v mpeg4",
     2, 97, 0},
    {"vfr.mp4",
     "-f lavfi -i testsrc2=s=320x240:d=2,select='not(mod(n\\,3))' -fps_mode vfr -c:v libx264 "
     "-preset ultrafast -pix_fmt yuv420p",
     320, 240, 0},
    {"surround48k.mp4",
     "-f lavfi -i testsrc2=s=426x240:d=1 -f lavfi -i sine=f=440:d=1:r=48000 -ac 6 -c:v libx264 "
     "-preset ultrafast -pix_fmt yuv420p -c:a aac -shortest",
     426, 240, 6},
    {"hires96k.wav", "-f lavfi -i sine=f=440:d=1:r=96000 -ac 2", 0, 0, 2},
    {"mono22k.mp3", "-f lavfi -i sine=f=440:d=1:r=22050", 0, 0, 1},
    {"sticker.gif", "-f lavfi -i testsrc2=s=162x122:d=1:r=10,format=rgb24,crop=161:121:0:0", 161,
     121, 0},
    {"large.jpg", "-f lavfi -i testsrc2=s=6002x4002,format=rgb24,crop=6001:4001:0:0 -frames:v 1",
     6001, 4001, 0},
    {"odd.png", "-f lavfi -i testsrc2=s=1002x752,format=rgb24,crop=1001:751:0:0 -frames:v 1", 1001,
     751, 0},
};

// Paths of broken inputs, made in `dir`; each must be reported as absent or damaged.
QStringList makeBroken(const QDir &dir, const QString &goodVideo, const QString &goodPicture)
{
    QStringList paths;
    auto write = [&](const QString &name, const QByteArray &bytes) {
        QFile f(dir.filePath(name));
        f.open(QIODevice::WriteOnly);
        f.write(bytes);
        paths << f.fileName();
    };
    write("empty.mp4", {});
    QFile whole(goodVideo);
    whole.open(QIODevice::ReadOnly);
    write("truncated.mp4", whole.read(whole.size() / 3));
    write("garbage.mov", QByteArray(100000, '\x5a'));
    write("concat.mp4", "ffconcat version 1.0\nfile '" + goodVideo.toUtf8() + "'\n");
    ::mkfifo(dir.filePath("pipe.mp4").toLocal8Bit().constData(), 0600);
    paths << dir.filePath("pipe.mp4");
    QFile::link("/dev/zero", dir.filePath("zero.mp4"));
    paths << dir.filePath("zero.mp4");
    QFile::link(dir.filePath("nowhere.mp4"), dir.filePath("dangling.mp4"));
    paths << dir.filePath("dangling.mp4");
    QFile picture(goodPicture);
    picture.open(QIODevice::ReadOnly);
    write("half-picture.png", picture.read(picture.size() / 2));
    return paths;
}

class Listener : public MaterialListener {
public:
    void OnMaterialChanged(const QList<MaterialData> &m) override { materials = m; }
    void OnMaterialNoExist(const QStringList &paths) override { damaged += paths; }
    QList<MaterialData> materials;
    QStringList damaged;
};

} // namespace

class TestMediaShapes : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        zuaEnsureResources();
        for (const Shape &s : kShapes) {
            QString err;
            const QString out = m_dir.filePath(s.file);
            QVERIFY2(fixtures::ffmpeg(QString(s.make).split(' ') + QStringList{out}, &err),
                     qPrintable(s.file + err));
            m_good << out;
        }
        // A phone clip: the same stream with a quarter-turn in its display matrix.
        QVERIFY(fixtures::ffmpeg({"-i", m_dir.filePath("ntsc422.mp4"), "-c", "copy",
                                  "-metadata:s:v:0", "rotate=90", m_dir.filePath("rotated.mp4")}));
        m_good << m_dir.filePath("rotated.mp4");
        m_broken = makeBroken(QDir(m_dir.path()), m_dir.filePath("mono720.mov"),
                              m_dir.filePath("odd.png"));
    }
    void everyShapeDecodes_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("height");
        QTest::addColumn<int>("channels");
        for (const Shape &s : kShapes)
            QTest::newRow(s.file) << QString(s.file) << s.width << s.height << s.channels;
        QTest::newRow("rotated.mp4") << QString("rotated.mp4") << 360 << 640 << 0; // shown upright
    }
    void everyShapeDecodes()
    {
        QFETCH(QString, file);
        QFETCH(int, width);
        QFETCH(int, height);
        QFETCH(int, channels);
        const QByteArray path = m_dir.filePath(file).toUtf8();
        const MovieCtx *movie = getMovieInfo(path.constData());
        QVERIFY(movie);

        if (width > 0) {
            QVERIFY(movie->videoStream());
            QCOMPARE(movie->videoStream()->width, width);
            QCOMPARE(movie->videoStream()->height, height);
            // The library's thumbnail: inside 100 × 80, one side touching the box.
            VFramePtr still = getMovieImage(path.constData(), {0.2, 100, 80});
            QVERIFY(still);
            QVERIFY(still->width <= 100 && still->height <= 80);
            QVERIFY(still->width == 100 || still->height == 80 || (width < 100 && height < 80));

            FFDecoder decoder;
            QVERIFY(decoder.open(*movie->videoStream()));
            // Forward, back to the start, past the end: each a whole, well-laid-out picture.
            for (const Rational &t :
                 {Rational(1, 2), Rational(0, 1), Rational(2, 30), Rational(5, 1)}) {
                VFramePtr f = decoder.getVideoFrame({t});
                QVERIFY(f);
                QCOMPARE(f->width, width);
                QCOMPARE(f->height, height);
                QCOMPARE(f->stride % int(kBufferAlign), 0);
                QVERIFY(f->stride >= width * 4);
                QVERIFY(f->pixels.size() >= size_t(f->stride) * size_t(height) + kBufferPadding);
                QCOMPARE(reinterpret_cast<uintptr_t>(f->data()) % kBufferAlign, uintptr_t(0));
                // testsrc2 is never black all over: the last row was really written.
                int sum = 0;
                for (int x = 0; x < width; ++x)
                    sum += f->pixel(x, height - 1)[0] + f->pixel(x, height - 1)[1];
                QVERIFY(sum > 0);
            }
        }
        if (channels > 0) {
            QVERIFY(movie->audioStream());
            QCOMPARE(movie->audioStream()->channels, channels);
            FFDecoder decoder;
            QVERIFY(decoder.open(*movie->audioStream()));
            // Half a second in 1/30 s slices, exactly 1470 samples each, a tone in all of them.
            int64_t total = 0;
            double energy = 0;
            for (int k = 0; k < 15; ++k) {
                AFramePtr a = decoder.getAudioFrame({Rational(k, 30), Rational(k + 1, 30)});
                QVERIFY(a);
                QCOMPARE(a->channels, 2);
                QCOMPARE(a->frameCount(), int64_t(1470));
                total += a->frameCount();
                for (int16_t v : a->samples)
                    energy += double(v) * v;
            }
            QCOMPARE(total, int64_t(44100 / 2));
            QVERIFY(std::sqrt(energy / (total * 2)) > 500);
        }
    }
    void libraryImportsShapesAndReportsBrokenFiles()
    {
        Listener listener;
        MaterialManager manager(&listener);
        // The FIFO and the link to /dev/zero are never opened: the call returns.
        manager.AddMaterialFiles(m_good + m_broken, false);
        // Refused while adding: told at once, and no tile is made for them.
        const QStringList refused = listener.damaged;
        QVERIFY(refused.size() >= m_broken.size() - 1);
        QTRY_COMPARE_WITH_TIMEOUT(manager.pendingPreviews(), 0, 60000);
        // A damaged picture that could be described is found by the thumbnail worker.
        QTRY_COMPARE(listener.damaged.size(), m_broken.size());

        QStringList expected = m_broken;
        QStringList damaged = listener.damaged;
        expected.sort();
        damaged.sort();
        QCOMPARE(damaged.join('\n'), expected.join('\n'));

        const QImage cannotLoad(":/image/res_cannotload.png");
        const QList<MaterialData> list = manager.snapshot();
        QCOMPARE(list.size(), m_good.size() + m_broken.size() - refused.size());
        for (const MaterialData &m : list) {
            QVERIFY2(!refused.contains(m.path), qPrintable(m.path));
            const bool good = m_good.contains(m.path);
            QVERIFY2(m.draggable == good, qPrintable(m.path));
            QVERIFY2(!m.preview.isNull(), qPrintable(m.path));
            if (m.type == MT_Video || m.type == MT_Image)
                QVERIFY2((m.preview == cannotLoad) == !good, qPrintable(m.path));
        }
        zua::UndoController::instance()->reset();
    }

private:
    QTemporaryDir m_dir;
    QStringList m_good, m_broken;
};

QTEST_MAIN(TestMediaShapes)
#include "tst_mediashapes.moc"
