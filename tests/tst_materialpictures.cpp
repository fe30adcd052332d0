// The timeline's pictures of a material, checked against the material itself: the
// waveform's peaks against the levels the sound was made with, the filmstrip's
// pictures against the colour each second was filled with, both kept in and read
// back from the cache, and the service answering later with a signal.
#include "render/pictures/Filmstrip.h"
#include "render/pictures/MaterialPictures.h"
#include "render/pictures/WaveformPeaks.h"
#include "support/Files.h"
#include "support/MediaFixtures.h"

#include <QFile>
#include <QRandomGenerator>
#include <QtTest>

#include <algorithm>

class TestMaterialPictures : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        qputenv("XDG_CACHE_HOME", m_dir.filePath("cache").toUtf8());
        // 1 s of silence, 1 s of a tone at half of full scale, 1 s at a tenth.
        QVERIFY(fixtures::ffmpeg({"-f", "lavfi", "-i",
                                  "aevalsrc='if(lt(t,1),0,if(lt(t,2),0.5,0.1))*sin(2*PI*440*t)':s="
                                  "44100:d=3",
                                  "-c:a", "pcm_s16le", m_dir.filePath("levels.wav")}));
        // Four seconds, each a colour of its own.
        QVERIFY(fixtures::ffmpeg(
            {"-f", "lavfi", "-i",
             "color=c=red:s=320x180:d=1,format=yuv420p[0];color=c=lime:s=320x180:"
             "d=1[1];color=c=blue:s=320x180:d=1[2];color=c=white:s=320x180:d=1[3];"
             "[0][1][2][3]concat=n=4",
             "-c:v", "libx264", "-g", "25", "-pix_fmt", "yuv420p", m_dir.filePath("colours.mp4")}));
    }
    void peaksFollowTheSoundsLevels_data()
    {
        QTest::addColumn<double>("from");
        QTest::addColumn<double>("to");
        QTest::addColumn<double>("level");
        QTest::newRow("silence") << 0.05 << 0.95 << 0.0;
        QTest::newRow("half scale") << 1.05 << 1.95 << 0.5;
        QTest::newRow("a tenth") << 2.05 << 2.95 << 0.1;
        QTest::newRow("the whole sound") << 0.0 << 3.0 << 0.5;
        QTest::newRow("past its end") << 3.5 << 4.0 << 0.0;
    }
    void peaksFollowTheSoundsLevels()
    {
        QFETCH(double, from);
        QFETCH(double, to);
        QFETCH(double, level);
        static const WaveformPeaks peaks =
            WaveformPeaks::compute(m_dir.filePath("levels.wav"), nullptr);
        QVERIFY(!peaks.isEmpty());
        QVERIFY2(std::abs(peaks.seconds() - 3.0) < 0.02,
                 qPrintable(QString::number(peaks.seconds())));
        const float got = peaks.peak(from, to);
        QVERIFY2(std::abs(got - level) < 0.02, qPrintable(QString::number(got)));
    }
    void peaksSurviveTheirFileAndRefuseOthers()
    {
        const WaveformPeaks peaks({0, 10, 200, 30, 255, 7});
        const QString file = m_dir.filePath("p.peaks");
        QVERIFY(peaks.save(file));
        const WaveformPeaks back = WaveformPeaks::load(file);
        QCOMPARE(back.seconds(), peaks.seconds());
        for (int i = 0; i < 6; ++i)
            QCOMPARE(back.peak(i / 200.0, (i + 1) / 200.0), peaks.peak(i / 200.0, (i + 1) / 200.0));
        QVERIFY(
            WaveformPeaks::load(fixtures::writeFile(m_dir.filePath("garbage.peaks"), "not peaks"))
                .isEmpty());
        QVERIFY(WaveformPeaks::load(m_dir.filePath("missing.peaks")).isEmpty());
    }
    void aWaveformIsNotKeptWaitingBehindFilmstrips()
    {
        // A fresh voice-over asks for its waveform while filmstrips are being made: it
        // is made before the filmstrips asked for earlier that have not begun.
        MaterialPictures &pictures = MaterialPictures::instance();
        QStringList videos;
        for (const char *name : {"a.mp4", "b.mp4", "c.mp4"}) {
            videos << m_dir.filePath(name);
            QVERIFY(QFile::copy(m_dir.filePath("colours.mp4"), videos.last()));
            QVERIFY(!pictures.filmstrip(videos.last()));
        }
        const QString voice = m_dir.filePath("voice.wav");
        QVERIFY(QFile::copy(m_dir.filePath("levels.wav"), voice));
        QSignalSpy ready(&pictures, &MaterialPictures::sig_ready);
        QVERIFY(!pictures.peaks(voice));
        QTRY_COMPARE_WITH_TIMEOUT(ready.size(), 4, 30000);
        QStringList order;
        for (const QList<QVariant> &r : ready)
            order << r[0].toString();
        QVERIFY2(order.indexOf(voice) <= 1, qPrintable(order.join(", ")));
        QVERIFY(pictures.peaks(voice) && !pictures.peaks(voice)->isEmpty());
    }
    void filmstripShowsEachSecondsPicture()
    {
        const Filmstrip strip = Filmstrip::compute(m_dir.filePath("colours.mp4"), nullptr);
        QVERIFY(!strip.isEmpty());
        QCOMPARE(strip.count(), 4);
        QCOMPARE(strip.pictureWidth(), Filmstrip::kHeight * 16 / 9);
        const QList<QColor> colours{Qt::red, Qt::green, Qt::blue, Qt::white};
        auto near = [](QColor a, QColor b) {
            return std::abs(a.red() - b.red()) < 40 && std::abs(a.green() - b.green()) < 40 &&
                   std::abs(a.blue() - b.blue()) < 40;
        };
        const Filmstrip back = [&] {
            const QString file = m_dir.filePath("strip.png");
            return strip.save(file) ? Filmstrip::load(file) : Filmstrip();
        }();
        QCOMPARE(back.count(), strip.count());
        for (const Filmstrip *s : {&strip, &back})
            for (int second = 0; second < 4; ++second) {
                const QRect r = s->pictureAt(second + 0.5);
                const QColor got = s->strip().pixelColor(r.center());
                QVERIFY2(near(got, colours[second]),
                         qPrintable(QString("%1 s: %2").arg(second).arg(got.name())));
            }
    }

private:
    QTemporaryDir m_dir;
};

QTEST_GUILESS_MAIN(TestMaterialPictures)
#include "tst_materialpictures.moc"
