// Decoder library: refusal of anything that is not a local media file, exact video
// frames in any order, exact sound intervals, mono on both channels, and mixing.
#include "media/AudioMixer.h"
#include "media/FFDecoder.h"
#include "media/MovieInfo.h"
#include "support/Files.h"
#include "support/MediaFixtures.h"

#include <QtTest>

#include <sys/stat.h>

#include <cmath>
#include <random>

using namespace ff;

namespace {

int indexAt(FFDecoder &dec, Rational t)
{
    VFramePtr f = dec.getVideoFrame({t});
    return f ? fixtures::frameIndexOf(f->data(), f->width, f->height, f->stride) : -2;
}

// Samples of one channel.
std::vector<int> channel(const AFrameCtx &a, int c)
{
    std::vector<int> out;
    for (int64_t i = 0; i < a.frameCount(); ++i)
        out.push_back(a.samples[size_t(i * a.channels + c)]);
    return out;
}

int zeroCrossings(const std::vector<int> &s)
{
    int n = 0;
    for (size_t i = 1; i < s.size(); ++i)
        if ((s[i - 1] < 0) != (s[i] < 0))
            ++n;
    return n;
}

int peak(const std::vector<int> &s)
{
    int p = 0;
    for (int v : s)
        p = std::max(p, std::abs(v));
    return p;
}

} // namespace

class TestDecoder : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        QString err;
        QVERIFY2(fixtures::numberedVideo(path("gop30.mp4"), 10, 30, 320, 240, &err),
                 qPrintable(err));
        QVERIFY2(fixtures::numberedVideo(path("gop250.mp4"), 10, 250, 320, 240, &err),
                 qPrintable(err));
        // Sound: 440 Hz at half scale (the source is at one eighth), as plain PCM (exact) and AAC
        // in mp4.
        QVERIFY(fixtures::ffmpeg({"-f", "lavfi", "-i", "sine=f=440:r=44100:d=3", "-ac", "2", "-af",
                                  "volume=4", "-c:a", "pcm_s16le", path("stereo.wav")},
                                 &err));
        QVERIFY(fixtures::ffmpeg({"-f", "lavfi", "-i", "sine=f=440:r=44100:d=3", "-af", "volume=4",
                                  "-c:a", "pcm_s16le", path("mono.wav")},
                                 &err));
        QVERIFY(fixtures::ffmpeg({"-f", "lavfi", "-i", "sine=f=440:r=44100:d=3", "-ac", "2", "-c:a",
                                  "aac", path("aac.mp4")},
                                 &err));
        QVERIFY(
            !fixtures::writeFile(path("notes.mp4"), "these are notes, not a movie\n").isEmpty());
        const QByteArray whole = fixtures::readFile(path("gop30.mp4"));
        QVERIFY(
            !fixtures::writeFile(path("truncated.mp4"), whole.left(whole.size() / 2)).isEmpty());
        QCOMPARE(::mkfifo(path("pipe.mp4").toLocal8Bit().constData(), 0600), 0);
        QVERIFY(QFile::link("/dev/zero", path("zero.mp4")));
    }

    void refusesWhatIsNotALocalMediaFile_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("concat protocol") << "concat:" + path("gop30.mp4") + "|" + path("gop30.mp4");
        QTest::newRow("http") << QString("http://127.0.0.1:9/clip.mp4");
        QTest::newRow("device") << QString("/dev/zero");
        QTest::newRow("link to a device") << path("zero.mp4");
        QTest::newRow("fifo") << path("pipe.mp4");
        QTest::newRow("truncated") << path("truncated.mp4");
        QTest::newRow("text named mp4") << path("notes.mp4");
        QTest::newRow("missing") << path("absent.mp4");
        QTest::newRow("folder") << m_dir.path();
        QTest::newRow("empty") << QString();
    }
    void refusesWhatIsNotALocalMediaFile()
    {
        QFETCH(QString, name);
        QVERIFY(!getMovieInfo(name.toLocal8Bit().constData()));
        ImageRequest req;
        QVERIFY(!getMovieImage(name.toLocal8Bit().constData(), req));
        // Opening a stream that claims the path is refused as well.
        MovieCtx fake;
        fake.path = name.toStdString();
        StreamCtx s;
        s.index = 0;
        s.movie = &fake;
        FFDecoder dec;
        QVERIFY(!dec.open(s));
        QVERIFY(!dec.isOpened());
    }

    void anyOrderOfRequestsGivesExactFrames_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<int>("gop");
        QTest::newRow("30-frame GOP") << "gop30.mp4" << 30;
        QTest::newRow("250-frame GOP") << "gop250.mp4" << 250;
    }
    void anyOrderOfRequestsGivesExactFrames()
    {
        QFETCH(QString, file);
        QFETCH(int, gop);
        FFDecoder dec;
        QVERIFY(dec.open(videoOf(qPrintable(file))));
        std::mt19937 rng(7);
        std::vector<int> order{299, 0, 150, 149, 151, 29, 30, 31, 260, 10, 290, 5};
        for (int i = 0; i < 30; ++i)
            order.push_back(int(rng() % 300));
        for (int k : order)
            QCOMPARE(indexAt(dec, Rational(k, 30)), k);

        // A jump forward within the same GOP decodes on; past a key frame it seeks.
        QCOMPARE(indexAt(dec, Rational(0, 30)), 0);
        const int64_t seeks = dec.stats().seeks;
        QCOMPARE(indexAt(dec, Rational(gop - 5, 30)), gop - 5);
        QCOMPARE(dec.stats().seeks, seeks);
        if (gop < 250) {
            QCOMPARE(indexAt(dec, Rational(gop * 3 + 2, 30)), gop * 3 + 2);
            QCOMPARE(dec.stats().seeks, seeks + 1);
        }
    }

    void soundIntervalsTileExactly_data()
    {
        QTest::addColumn<QString>("file");
        QTest::newRow("pcm") << "stereo.wav";
        QTest::newRow("aac in mp4") << "aac.mp4";
    }
    void soundIntervalsTileExactly()
    {
        QFETCH(QString, file);
        FFDecoder whole, sliced;
        QVERIFY(whole.open(audioOf(qPrintable(file))));
        QVERIFY(sliced.open(audioOf(qPrintable(file))));
        AFramePtr all = whole.getAudioFrame({Rational(0, 1), Rational(2, 1)});
        QVERIFY(all);
        QCOMPARE(all->frameCount(), int64_t(88200));
        std::vector<int16_t> joined;
        for (int k = 0; k < 60; ++k) {
            AFramePtr a = sliced.getAudioFrame({Rational(k, 30), Rational(k + 1, 30)});
            QVERIFY(a);
            QCOMPARE(a->frameCount(), int64_t(1470));
            QCOMPARE(a->firstSample, int64_t(1470) * k);
            joined.insert(joined.end(), a->samples.begin(), a->samples.end());
        }
        QVERIFY(joined == all->samples);
        QCOMPARE(sliced.stats().seeks, int64_t(0)); // playing through never seeks
        // The sound starts at once: encoder priming is not heard as a silent gap.
        QVERIFY(peak(std::vector<int>(all->samples.begin(), all->samples.begin() + 400)) > 2000);
        const std::vector<int> left = channel(*all, 0);
        QVERIFY2(std::abs(zeroCrossings(left) - 1760) <= 2, // 440 Hz over 2 s
                 qPrintable(QString::number(zeroCrossings(left))));
    }
    void seekingIntoSoundMatchesPlayingThrough()
    {
        FFDecoder through, jumping;
        QVERIFY(through.open(audioOf("aac.mp4")));
        QVERIFY(jumping.open(audioOf("aac.mp4")));
        AFramePtr all = through.getAudioFrame({Rational(0, 1), Rational(3, 1)});
        QVERIFY(all);
        for (int k : {75, 10, 60, 33}) {
            AFramePtr a = jumping.getAudioFrame({Rational(k, 30), Rational(k + 1, 30)});
            QVERIFY(a);
            const size_t offset = size_t(a->firstSample) * 2;
            int worst = 0;
            for (size_t i = 0; i < a->samples.size(); ++i)
                worst = std::max(worst, std::abs(a->samples[i] - all->samples[offset + i]));
            QVERIFY2(worst <= 2, qPrintable(QString("frame %1 differs by %2").arg(k).arg(worst)));
        }
    }
    void monoPlaysOnBothChannelsAtFullLevel()
    {
        FFDecoder dec;
        QVERIFY(dec.open(audioOf("mono.wav")));
        AFramePtr a = dec.getAudioFrame({Rational(1, 1), Rational(2, 1)});
        QVERIFY(a);
        QCOMPARE(a->channels, 2);
        QVERIFY(channel(*a, 0) == channel(*a, 1));
        QVERIFY(std::abs(peak(channel(*a, 0)) - 16384) < 400);
    }

    void mixingAppliesVolumesAndSaturates()
    {
        AudioMixer mixer(44100, 2, SAMPLE_S16);
        QCOMPARE(mixer.getFormat().format, int(SAMPLE_S16));
        mixer.begin(Rational(0, 1), Rational(1, 30));
        AFrameCtx loud;
        loud.firstSample = 0;
        loud.samples.assign(1470 * 2, 30000);
        AFrameCtx quiet = loud;
        quiet.samples.assign(1470 * 2, -1000);
        int owners[3];
        mixer.getBuffer(&owners[0])->add(loud, 128, 0);
        mixer.getBuffer(&owners[1])->add(loud, 64, 0);
        mixer.getBuffer(&owners[2])->add(quiet, 0, 0); // muted
        PcmPtr mixed = mixer.end();
        QVERIFY(mixed);
        QCOMPARE(mixed->samples.size(), size_t(2940));
        QCOMPARE(mixed->samples.front(), int16_t(32767)); // 30000 + 15000 saturates
        QCOMPARE(mixed->byteCount(), size_t(2940 * 2));

        mixer.begin(Rational(0, 1), Rational(1, 30));
        mixer.getBuffer(&owners[0])->add(quiet, 64, 0);
        mixed = mixer.end();
        QCOMPARE(mixed->samples.back(), int16_t(-500));
        QVERIFY(!mixer.end()); // nothing begun
        mixer.begin(Rational(0, 1), Rational(1, 30));
        QCOMPARE(mixer.end()->samples.front(), int16_t(0)); // silence when nothing was added
    }
    void mixingPlacesSlicesInTheInterval()
    {
        // A slice from 2 s into its file, played from timeline sample 1000: where it lands
        // follows the timeline, never the sample positions of the file it came from.
        AudioMixer mixer(44100, 2, SAMPLE_S16);
        mixer.begin(Rational(1, 30), Rational(2, 30)); // samples 1470..2939
        AFrameCtx early;
        early.firstSample = 88200;
        early.samples.assign(1000 * 2, 100);
        int owner;
        mixer.getBuffer(&owner)->add(early, 128, 1000); // its frames 470.. fall in the interval
        PcmPtr mixed = mixer.end();
        QCOMPARE(mixed->samples[0], int16_t(100));
        QCOMPARE(mixed->samples[529 * 2 + 1], int16_t(100));
        QCOMPARE(mixed->samples[530 * 2], int16_t(0));

        mixer.begin(Rational(1, 30), Rational(2, 30));
        mixer.getBuffer(&owner)->add(early, 128, 2000); // starts 530 frames into the interval
        mixed = mixer.end();
        QCOMPARE(mixed->samples[529 * 2], int16_t(0));
        QCOMPARE(mixed->samples[530 * 2 + 1], int16_t(100));
        QCOMPARE(mixed->samples.back(), int16_t(100));
    }

private:
    QString path(const char *name) const { return m_dir.filePath(name); }
    const StreamCtx &videoOf(const char *name)
    {
        const MovieCtx *m = getMovieInfo(path(name).toLocal8Bit().constData());
        Q_ASSERT(m && m->videoStream());
        return *m->videoStream();
    }
    const StreamCtx &audioOf(const char *name)
    {
        const MovieCtx *m = getMovieInfo(path(name).toLocal8Bit().constData());
        Q_ASSERT(m && m->audioStream());
        return *m->audioStream();
    }
    QTemporaryDir m_dir;
};

QTEST_GUILESS_MAIN(TestDecoder)
#include "tst_decoder.moc"
