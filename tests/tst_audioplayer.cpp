// Audio output over the sound server: refusal without a server, and a tone that
// written through the player's mixer is heard on the null sink's monitor, and the
// writer keeps pace with the sound by what is still queued.
#include "audio/AudioPlayer.h"
#include "render/player/AudioMixerPlayer.h"
#include "support/HeardTone.h"

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

} // namespace

class TestAudioPlayer : public QObject {
    Q_OBJECT
private slots:
    void withoutAServerNothingOpensAndNothingHangs()
    {
        const QByteArray saved = qgetenv("PULSE_SERVER");
        qputenv("PULSE_SERVER", "unix:/nonexistent/zua-no-server");
        zua::AudioPlayer player;
        QVERIFY(!player.play(2, kRate, 2)); // returns (a hang would meet the test's time-out)
        const std::vector<int16_t> pcm = tone(440, 0, 1470, 1000);
        QVERIFY(!player.write_pcm(reinterpret_cast<const uint8_t *>(pcm.data()), pcm.size() * 2));
        QCOMPARE(player.cached_millisec(), int64_t(0));
        player.stop();
        if (saved.isEmpty())
            qunsetenv("PULSE_SERVER");
        else
            qputenv("PULSE_SERVER", saved);
    }
    void toneIsHeardAtThePaceOfTheSound()
    {
        QTemporaryDir dir;
        const QString file = dir.filePath("heard.raw");
        fixtures::MonitorRecorder recorder(file);
        QVERIFY(recorder.started());

        // 1.5 s of sound in 1/30 s slices through the player's own mixer and pacing rule.
        AudioMixerPlayer &mixer = AudioMixerPlayer::instance();
        QVERIFY2(mixer.open(2, kRate, 2, true),
                 "no sound server: run this test through with_pulse.sh");
        const int key = 0;
        std::vector<int64_t> queued; // after each slice
        QElapsedTimer clock;
        clock.start();
        for (int k = 0; k < 45; ++k) {
            ff::AFrameCtx slice;
            slice.firstSample = int64_t(k) * 1470;
            slice.samples = tone(1000, k * 1470, 1470, 12000);
            mixer.begin(k, 1, 30);
            mixer.add(&key, slice, 128);
            QVERIFY(mixer.finish());
            queued.push_back(mixer.queuedMs());
        }
        const qint64 writing = clock.elapsed();
        // The writer keeps one to three slices queued and waits for the rest: it neither
        // runs ahead of the sound nor lets the output run dry. (The null sink plays in
        // bursts and sometimes stalls for a moment, hence the median.)
        std::nth_element(queued.begin(), queued.begin() + 22, queued.end());
        QVERIFY2(queued[22] >= 25 && queued[22] <= 133, qPrintable(QString::number(queued[22])));
        QVERIFY2(writing >= 1500 - 200, qPrintable(QString::number(writing)));
        QElapsedTimer drain;
        drain.start();
        while (mixer.queuedMs() > 0 && drain.elapsed() < 2500)
            QThread::msleep(20);
        QThread::msleep(300);
        mixer.close();
        recorder.stop();

        QFile raw(file);
        QVERIFY(raw.open(QIODevice::ReadOnly));
        // Where the tone is, it has the pitch, level and channel layout that went in.
        const fixtures::HeardTone heard = fixtures::heardTone(raw.readAll(), 3000);
        QVERIFY2(heard.heard, "nothing was heard");
        QVERIFY2(heard.seconds > 0.3, qPrintable(QString::number(heard.seconds)));
        QVERIFY2(std::abs(heard.pitch - 1000) < 5, qPrintable(QString::number(heard.pitch)));
        QVERIFY2(heard.peak > 11000 && heard.peak < 12500, qPrintable(QString::number(heard.peak)));
        QVERIFY(heard.inverted);
    }
    void refusesOtherFormats()
    {
        zua::AudioPlayer player;
        QVERIFY(!player.play(2, kRate, 1));
        QVERIFY(!player.play(0, kRate, 2));
        QVERIFY(!player.isPlaying());
    }
};

QTEST_GUILESS_MAIN(TestAudioPlayer)
#include "tst_audioplayer.moc"
