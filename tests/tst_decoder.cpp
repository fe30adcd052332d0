// Decoder library: media descriptions, refusal of anything that is not a local
// media file, exact video frames, exact sound intervals, stills and mixing.
#include "media/AudioMixer.h"
#include "media/FFDecoder.h"
#include "media/MovieInfo.h"
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
    void initTestCase();

    void describesStreams();
    void descriptionsAreCachedUntilTheFileChanges();
    void refusesWhatIsNotALocalMediaFile_data();
    void refusesWhatIsNotALocalMediaFile();

    void sequentialFramesAreExactWithoutSeeking();
    void anyOrderOfRequestsGivesExactFrames_data();
    void anyOrderOfRequestsGivesExactFrames();
    void timesBetweenFramesShowThePreviousFrame();
    void edgesOfTheStream();
    void picturesComeAtTheAskedSize_data();
    void picturesComeAtTheAskedSize();

    void soundIntervalsTileExactly_data();
    void soundIntervalsTileExactly();
    void seekingIntoSoundMatchesPlayingThrough();
    void monoPlaysOnBothChannelsAtFullLevel();
    void otherRatesAreResampled();
    void soundPastTheEndIsNull();

    void stillsFitTheRequestedBox();

    void mixingAppliesVolumesAndSaturates();
    void mixingPlacesSlicesInTheInterval();

private:
    QString path(const char *name) const { return m_dir.filePath(name); }
    const StreamCtx &videoOf(const char *name);
    const StreamCtx &audioOf(const char *name);
    QTemporaryDir m_dir;
};

void TestDecoder::initTestCase()
{
    QString err;
    QVERIFY2(fixtures::numberedVideo(path("gop30.mp4"), 10, 30, 320, 240, &err), qPrintable(err));
    QVERIFY2(fixtures::numberedVideo(path("gop250.mp4"), 10, 250, 320, 240, &err), qPrintable(err));
    // Sound: 440 Hz at half scale (the source is at one eighth), as plain PCM (exact) and AAC in
    // mp4.
    QVERIFY(fixtures::ffmpeg({"-f", "lavfi", "-i", "sine=f=440:r=44100:d=3", "-ac", "2", "-af",
                              "volume=4", "-c:a", "pcm_s16le", path("stereo.wav")},
                             &err));
    QVERIFY(fixtures::ffmpeg({"-f", "lavfi", "-i", "sine=f=440:r=44100:d=3", "-af", "volume=4",
                              "-c:a", "pcm_s16le", path("mono.wav")},
                             &err));
    QVERIFY(fixtures::ffmpeg(
        {"-f", "lavfi", "-i", "sine=f=1000:r=48000:d=3", "-c:a", "pcm_s16le", path("48k.wav")},
        &err));
    QVERIFY(fixtures::ffmpeg(
        {"-f", "lavfi", "-i", "sine=f=440:r=44100:d=3", "-ac", "2", "-c:a", "aac", path("aac.mp4")},
        &err));
    QFile text(path("notes.mp4"));
    QVERIFY(text.open(QIODevice::WriteOnly));
    text.write("these are notes, not a movie\n");
    text.close();
    QFile whole(path("gop30.mp4"));
    QVERIFY(whole.open(QIODevice::ReadOnly));
    QFile cut(path("truncated.mp4"));
    QVERIFY(cut.open(QIODevice::WriteOnly));
    cut.write(whole.read(whole.size() / 2));
    cut.close();
    QCOMPARE(::mkfifo(path("pipe.mp4").toLocal8Bit().constData(), 0600), 0);
    QVERIFY(QFile::link("/dev/zero", path("zero.mp4")));
}

const StreamCtx &TestDecoder::videoOf(const char *name)
{
    const MovieCtx *m = getMovieInfo(path(name).toLocal8Bit().constData());
    Q_ASSERT(m && m->videoStream());
    return *m->videoStream();
}

const StreamCtx &TestDecoder::audioOf(const char *name)
{
    const MovieCtx *m = getMovieInfo(path(name).toLocal8Bit().constData());
    Q_ASSERT(m && m->audioStream());
    return *m->audioStream();
}

void TestDecoder::describesStreams()
{
    const MovieCtx *video = getMovieInfo(path("gop30.mp4").toLocal8Bit().constData());
    QVERIFY(video);
    QVERIFY(video->videoIndex >= 0);
    QCOMPARE(video->audioIndex, -1);
    const StreamCtx &vs = *video->videoStream();
    QCOMPARE(vs.width, 320);
    QCOMPARE(vs.height, 240);
    QCOMPARE(vs.kind, StreamKind::Video);
    QCOMPARE(vs.duration * vs.timeBase.num * 1000 / vs.timeBase.den, int64_t(10000));
    QCOMPARE(vs.movie, video);

    const MovieCtx *sound = getMovieInfo(path("mono.wav").toLocal8Bit().constData());
    QVERIFY(sound);
    QCOMPARE(sound->videoIndex, -1);
    QCOMPARE(sound->audioStream()->sampleRate, 44100);
    QCOMPARE(sound->audioStream()->channels, 1);
    QVERIFY(std::abs(sound->durationUs - 3000000) < 1000);
}

void TestDecoder::descriptionsAreCachedUntilTheFileChanges()
{
    QVERIFY(fixtures::ffmpeg({"-f", "lavfi", "-i", "sine=d=1", path("changing.wav")}));
    const QByteArray p = path("changing.wav").toLocal8Bit();
    const MovieCtx *first = getMovieInfo(p.constData());
    QVERIFY(first);
    QCOMPARE(getMovieInfo(p.constData()), first);
    QTest::qWait(20); // a new modification time
    QVERIFY(fixtures::ffmpeg({"-f", "lavfi", "-i", "sine=d=2", path("changing.wav")}));
    const MovieCtx *second = getMovieInfo(p.constData());
    QVERIFY(second && second != first);
    QVERIFY(second->durationUs > 1500000);
    QVERIFY(first->durationUs < 1500000); // the old description stays readable
    std::atomic<bool> cancelled{true};
    QVERIFY(!getMovieInfo(p.constData(), &cancelled));
}

void TestDecoder::refusesWhatIsNotALocalMediaFile_data()
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

void TestDecoder::refusesWhatIsNotALocalMediaFile()
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

void TestDecoder::sequentialFramesAreExactWithoutSeeking()
{
    FFDecoder dec;
    QVERIFY(dec.open(videoOf("gop30.mp4")));
    for (int k = 0; k < 300; ++k)
        QCOMPARE(indexAt(dec, Rational(k, 30)), k);
    QCOMPARE(dec.stats().seeks, int64_t(1)); // only the first request positions the stream
    QVERIFY(dec.stats().decodedFrames <= 300);
    // Asking again for the same frame returns the same shared picture.
    VFramePtr a = dec.getVideoFrame({Rational(299, 30)});
    VFramePtr b = dec.getVideoFrame({Rational(299, 30)});
    QCOMPARE(a.get(), b.get());
}

void TestDecoder::anyOrderOfRequestsGivesExactFrames_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<int>("gop");
    QTest::newRow("30-frame GOP") << "gop30.mp4" << 30;
    QTest::newRow("250-frame GOP") << "gop250.mp4" << 250;
}

void TestDecoder::anyOrderOfRequestsGivesExactFrames()
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

void TestDecoder::timesBetweenFramesShowThePreviousFrame()
{
    FFDecoder dec;
    QVERIFY(dec.open(videoOf("gop30.mp4")));
    QCOMPARE(indexAt(dec, Rational(21, 60)), 10);     // 10.5 frames
    QCOMPARE(indexAt(dec, Rational(1099, 3000)), 10); // just before frame 11
    QCOMPARE(indexAt(dec, Rational(11, 30)), 11);
    QCOMPARE(indexAt(dec, Rational(-5, 30)), 0); // negative times read as the start
}

void TestDecoder::edgesOfTheStream()
{
    FFDecoder dec;
    QVERIFY(dec.open(videoOf("gop30.mp4")));
    QCOMPARE(indexAt(dec, Rational(299, 30)), 299);
    QCOMPARE(indexAt(dec, Rational(400, 30)), 299); // past the end: the last frame stays
    QCOMPARE(indexAt(dec, Rational(298, 30)), 298);
    QCOMPARE(indexAt(dec, Rational(1000, 1)), 299);
    QVERIFY(!dec.getAudioFrame({Rational(0, 1), Rational(1, 30)})); // no sound stream here
    dec.close();
    QVERIFY(!dec.getVideoFrame({Rational(0, 1)}));
}

void TestDecoder::picturesComeAtTheAskedSize_data()
{
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");
    QTest::newRow("as shown") << 0 << 0;
    QTest::newRow("smaller") << 160 << 120;
    QTest::newRow("much smaller") << 64 << 48;
    QTest::newRow("larger") << 640 << 480;
    QTest::newRow("another shape") << 500 << 240;
}

void TestDecoder::picturesComeAtTheAskedSize()
{
    // An export decodes a clip that fills the frame at the frame's size; the frame
    // asked for is the same picture, only scaled.
    QFETCH(int, width);
    QFETCH(int, height);
    FFDecoder dec;
    QVERIFY(dec.open(videoOf("gop30.mp4")));
    for (int k : {0, 47, 200, 13}) {
        VideoRequest request;
        request.time = Rational(k, 30);
        request.width = width;
        request.height = height;
        VFramePtr f = dec.getVideoFrame(request);
        QVERIFY(f);
        QCOMPARE(f->width, width ? width : 320);
        QCOMPARE(f->height, height ? height : 240);
        QCOMPARE(fixtures::frameIndexOf(f->data(), f->width, f->height, f->stride), k);
    }
    // The same frame asked again at the shown size is not the scaled picture.
    VFramePtr shown = dec.getVideoFrame({Rational(13, 30)});
    QVERIFY(shown);
    QCOMPARE(shown->width, 320);
}

void TestDecoder::soundIntervalsTileExactly_data()
{
    QTest::addColumn<QString>("file");
    QTest::newRow("pcm") << "stereo.wav";
    QTest::newRow("aac in mp4") << "aac.mp4";
}

void TestDecoder::soundIntervalsTileExactly()
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

void TestDecoder::seekingIntoSoundMatchesPlayingThrough()
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

void TestDecoder::monoPlaysOnBothChannelsAtFullLevel()
{
    FFDecoder dec;
    QVERIFY(dec.open(audioOf("mono.wav")));
    AFramePtr a = dec.getAudioFrame({Rational(1, 1), Rational(2, 1)});
    QVERIFY(a);
    QCOMPARE(a->channels, 2);
    QVERIFY(channel(*a, 0) == channel(*a, 1));
    QVERIFY(std::abs(peak(channel(*a, 0)) - 16384) < 400);
}

void TestDecoder::otherRatesAreResampled()
{
    FFDecoder dec;
    QVERIFY(dec.open(audioOf("48k.wav")));
    std::vector<int> left;
    for (int k = 0; k < 60; ++k) {
        AFramePtr a = dec.getAudioFrame({Rational(k, 30), Rational(k + 1, 30)});
        QVERIFY(a);
        QCOMPARE(a->frameCount(), int64_t(1470));
        const std::vector<int> l = channel(*a, 0);
        left.insert(left.end(), l.begin(), l.end());
    }
    QCOMPARE(int(left.size()), 88200);
    QVERIFY(std::abs(zeroCrossings(left) - 4000) <= 4); // 1 kHz kept over 2 s
}

void TestDecoder::soundPastTheEndIsNull()
{
    FFDecoder dec;
    QVERIFY(dec.open(audioOf("stereo.wav")));
    QVERIFY(!dec.getAudioFrame({Rational(5, 1), Rational(6, 1)}));
    QVERIFY(!dec.getAudioFrame({Rational(1, 1), Rational(1, 1)})); // empty interval
    // The interval across the end is padded with silence.
    AFramePtr tail = dec.getAudioFrame({Rational(89, 30), Rational(91, 30)});
    QVERIFY(tail);
    QCOMPARE(tail->frameCount(), int64_t(2940));
    QCOMPARE(tail->samples.back(), int16_t(0));
}

void TestDecoder::stillsFitTheRequestedBox()
{
    int64_t at = -1;
    ImageRequest req;
    req.position = 0.5;
    VFramePtr full = getMovieImage(path("gop30.mp4").toLocal8Bit().constData(), req, &at);
    QVERIFY(full);
    QCOMPARE(full->width, 320);
    QCOMPARE(fixtures::frameIndexOf(full->data(), full->width, full->height, full->stride), 150);
    QCOMPARE(at, int64_t(5000000));
    req.width = 100;
    req.height = 80;
    VFramePtr thumb = getMovieImage(path("gop30.mp4").toLocal8Bit().constData(), req);
    QVERIFY(thumb);
    QCOMPARE(thumb->width, 100);
    QCOMPARE(thumb->height, 75);
    QVERIFY(!getMovieImage(path("mono.wav").toLocal8Bit().constData(), req));
}

void TestDecoder::mixingAppliesVolumesAndSaturates()
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

void TestDecoder::mixingPlacesSlicesInTheInterval()
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

QTEST_GUILESS_MAIN(TestDecoder)
#include "tst_decoder.moc"
