// Audio output over the sound server: refusal without a server, and a tone that
// is heard on the null sink's monitor, paced by what is still queued.
#include "audio/AudioPlayer.h"

#include <QtTest>

#include <cmath>
#include <csignal>

namespace {

constexpr int kRate = 44100;

std::vector<int16_t> tone(double freq, int startSample, int count, int amplitude)
{
    std::vector<int16_t> pcm(size_t(count) * 2);
    for (int i = 0; i < count; ++i) {
        const double t = double(startSample + i) / kRate;
        const auto v = int16_t(amplitude * std::sin(2 * M_PI * freq * t));
        pcm[size_t(i) * 2] = v;
        pcm[size_t(i) * 2 + 1] = int16_t(-v); // the right channel is inverted
    }
    return pcm;
}

// Records the null sink's monitor while it lives.
class MonitorRecorder {
public:
    explicit MonitorRecorder(const QString &file)
    {
        m_process.setStandardOutputFile(file);
        m_process.start("parec", {"--latency-msec=20", "-d", "vsink.monitor", "--raw",
                                  "--format=s16le", "--rate=44100", "--channels=2"});
        m_started = m_process.waitForStarted(5000);
        QTest::qWait(300); // the recorder is connected before anything plays
    }
    ~MonitorRecorder() { stop(); }
    bool started() const { return m_started; }
    void stop()
    {
        if (m_process.state() == QProcess::NotRunning)
            return;
        ::kill(pid_t(m_process.processId()), SIGINT); // parec writes out what it holds
        if (!m_process.waitForFinished(5000))
            m_process.kill();
    }

private:
    QProcess m_process;
    bool m_started = false;
};

} // namespace

class TestAudioPlayer : public QObject {
    Q_OBJECT
private slots:
    void withoutAServerNothingOpensAndNothingHangs();
    void toneIsHeardOnTheOutput();
    void stopDropsWhatIsQueued();
    void refusesOtherFormats();
};

void TestAudioPlayer::withoutAServerNothingOpensAndNothingHangs()
{
    const QByteArray saved = qgetenv("PULSE_SERVER");
    qputenv("PULSE_SERVER", "unix:/nonexistent/zua-no-server");
    zua::AudioPlayer player;
    QElapsedTimer timer;
    timer.start();
    QVERIFY(!player.play(2, kRate, 2));
    QVERIFY(timer.elapsed() < 3500);
    const std::vector<int16_t> pcm = tone(440, 0, 1470, 1000);
    QVERIFY(!player.write_pcm(reinterpret_cast<const uint8_t *>(pcm.data()), pcm.size() * 2));
    QCOMPARE(player.cached_millisec(), int64_t(0));
    player.stop();
    if (saved.isEmpty())
        qunsetenv("PULSE_SERVER");
    else
        qputenv("PULSE_SERVER", saved);
}

void TestAudioPlayer::toneIsHeardOnTheOutput()
{
    QTemporaryDir dir;
    const QString file = dir.filePath("heard.raw");
    MonitorRecorder recorder(file);
    QVERIFY(recorder.started());

    zua::AudioPlayer player;
    QVERIFY2(player.play(2, kRate, 2), "no sound server: run this test through with_pulse.sh");
    // One slice of 1/30 s at a time, paced the way the player paces itself.
    int64_t maxCached = 0;
    for (int k = 0; k < 45; ++k) {
        const std::vector<int16_t> pcm = tone(1000, k * 1470, 1470, 12000);
        QVERIFY(player.write_pcm(reinterpret_cast<const uint8_t *>(pcm.data()), pcm.size() * 2));
        const int64_t cached = player.cached_millisec();
        maxCached = std::max(maxCached, cached);
        if (cached > 99)
            QThread::msleep(ulong(cached - 33));
    }
    QVERIFY(maxCached >= 33);
    QElapsedTimer drain;
    drain.start();
    while (player.cached_millisec() > 0 && drain.elapsed() < 2500)
        QThread::msleep(20);
    QThread::msleep(300);
    player.stop();
    recorder.stop();

    QFile raw(file);
    QVERIFY(raw.open(QIODevice::ReadOnly));
    const QByteArray bytes = raw.readAll();
    const auto *s = reinterpret_cast<const int16_t *>(bytes.constData());
    const int frames = bytes.size() / 4;
    // Where the tone is, it has the pitch, level and channel layout that went in.
    int first = -1, last = -1, peak = 0;
    bool inverted = true;
    for (int i = 0; i < frames; ++i) {
        const int l = s[2 * i], r = s[2 * i + 1];
        if (std::abs(l) > 3000) {
            if (first < 0)
                first = i;
            last = i;
            peak = std::max(peak, std::abs(l));
            inverted = inverted && std::abs(l + r) < 200;
        }
    }
    QVERIFY2(first >= 0, "nothing was heard");
    int crossings = 0;
    for (int i = first + 1; i <= last; ++i)
        if ((s[2 * (i - 1)] < 0) != (s[2 * i] < 0))
            ++crossings;
    // The null sink renders in bursts, so only part of the tone may have reached the
    // monitor when recording stops: check the signal, not its timing.
    const double heardSeconds = double(last - first) / kRate;
    QVERIFY2(heardSeconds > 0.3, qPrintable(QString::number(heardSeconds)));
    const double pitch = crossings / 2.0 / heardSeconds;
    QVERIFY2(std::abs(pitch - 1000) < 10, qPrintable(QString::number(pitch)));
    QVERIFY2(peak > 11000 && peak < 12500, qPrintable(QString::number(peak)));
    QVERIFY(inverted);
}

void TestAudioPlayer::stopDropsWhatIsQueued()
{
    zua::AudioPlayer player;
    QVERIFY(player.play(2, kRate, 2));
    const std::vector<int16_t> pcm = tone(500, 0, kRate, 8000); // one second at once
    QVERIFY(player.write_pcm(reinterpret_cast<const uint8_t *>(pcm.data()), pcm.size() * 2));
    QVERIFY(player.cached_millisec() > 500);
    player.stop();
    QVERIFY(!player.isPlaying());
    QCOMPARE(player.cached_millisec(), int64_t(0));
    QVERIFY(!player.write_pcm(reinterpret_cast<const uint8_t *>(pcm.data()), 4));
    // The same object plays again after a stop.
    QVERIFY(player.play(2, kRate, 2));
}

void TestAudioPlayer::refusesOtherFormats()
{
    zua::AudioPlayer player;
    QVERIFY(!player.play(2, kRate, 1));
    QVERIFY(!player.play(0, kRate, 2));
    QVERIFY(!player.isPlaying());
}

QTEST_GUILESS_MAIN(TestAudioPlayer)
#include "tst_audioplayer.moc"
