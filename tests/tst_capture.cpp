// Microphone capture over a private sound server: the WAV file's layout and sizes,
// a sine source recorded at its own format and level, no server and no microphone,
// and the device list following devices loaded and unloaded.
#include "audio/WASAPISource.h"
#include "audio/WasapiEnumerator.h"
#include "audio/WavEncoder.h"
#include "support/WavFile.h"

#include "support/SoundServer.h"

#include <QtTest>

#include <csignal>

namespace {

// Captures `device` into `path` for `ms` (with a spy on each signal).
struct Capture {
    std::unique_ptr<wav::WavEncoder> encoder;
    std::unique_ptr<WASAPISource> source;
    std::unique_ptr<QSignalSpy> active, inactive;
    Capture(const QString &path, const char *device)
        : encoder(new wav::WavEncoder(std::fopen(qPrintable(path), "wb"))),
          source(new WASAPISource(WASAPISource::Input, encoder.get(), device)),
          active(new QSignalSpy(source.get(), &WASAPISource::sig_activated)),
          inactive(new QSignalSpy(source.get(), &WASAPISource::sig_inActivated))
    {
        source->start();
    }
    void finish()
    {
        source.reset();
        encoder.reset();
    }
};

} // namespace

class TestCapture : public QObject {
    Q_OBJECT
private slots:
    void wavHeaderAndSizes()
    {
        const QString plain = m_dir.filePath("plain.wav");
        {
            wav::WavEncoder encoder(std::fopen(qPrintable(plain), "wb"));
            QCOMPARE(encoder.writeHeader(nullptr), int(wav::kNoFormat));
            const wav::WaveFormat f = wav::WaveFormat::interleaved(2, 48000, 16, false);
            QCOMPARE(encoder.writeHeader(&f), int(wav::kOk));
            const std::vector<int16_t> frames(2000, 1000);
            QCOMPARE(encoder.writeData(frames.data(), 4000), int(wav::kOk));
            // Before it is closed (as after a crash) the sizes already cover what was written.
            const fixtures::WavFile early = fixtures::readWav(plain);
            QCOMPARE(int(early.dataSize), 4000);
        }
        fixtures::WavFile w = fixtures::readWav(plain);
        QVERIFY(w.ok);
        QCOMPARE(int(w.formatSize), 18);
        QCOMPARE(w.tag, 1);
        QCOMPARE(w.channels, 2);
        QCOMPARE(w.rate, 48000);
        QCOMPARE(w.blockAlign, 4);
        QCOMPARE(qint64(w.riffSize), qint64(w.bytes.size() - 8));
        QCOMPARE(qint64(w.dataSize), qint64(w.bytes.size() - (18 + 28)));
        QCOMPARE(int(w.dataSize), 4000);

        // Float and wide formats are written as the extensible block, as devices give them.
        const QString wide = m_dir.filePath("wide.wav");
        {
            wav::WavEncoder encoder(std::fopen(qPrintable(wide), "wb"));
            const wav::WaveFormat f = wav::WaveFormat::interleaved(1, 44100, 32, true);
            QCOMPARE(encoder.writeHeader(&f), int(wav::kOk));
            const float half = 0.5f;
            QCOMPARE(encoder.writeData(&half, 4), int(wav::kOk));
        }
        w = fixtures::readWav(wide);
        QCOMPARE(int(w.formatSize), 40);
        QCOMPARE(w.tag, 0xFFFE);
        QCOMPARE(w.subTag, 3);
        QCOMPARE(qint64(w.dataSize), qint64(w.bytes.size() - (40 + 28)));
        QCOMPARE(w.first, std::vector<float>{0.5f});

        // A long take grows past 256 MiB (25 minutes of mono) and its sizes stay true.
        const QString big = m_dir.filePath("big.wav");
        {
            wav::WavEncoder encoder(std::fopen(qPrintable(big), "wb"));
            const wav::WaveFormat f = wav::WaveFormat::interleaved(2, 44100, 24, false); // 6 bytes
            encoder.writeHeader(&f);
            const QByteArray mib(1 << 20, '\0');
            for (int i = 0; i < 300; ++i)
                QCOMPARE(encoder.writeData(mib.constData(), size_t(mib.size())), int(wav::kOk));
        }
        QFile file(big);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray head = file.read(128);
        const auto *b = reinterpret_cast<const uchar *>(head.constData());
        const quint32 formatSize = qFromLittleEndian<quint32>(b + 16);
        QCOMPARE(qint64(qFromLittleEndian<quint32>(b + formatSize + 24)), qint64(300) << 20);
        QCOMPARE(file.size(), (qint64(300) << 20) + formatSize + 28);
        file.close();
        QFile::remove(big);
        QCOMPARE(wav::WavEncoder(nullptr).writeHeader(nullptr), int(wav::kNoFile));
    }
    void recordsTheMicrophoneInItsOwnFormatAndLevel()
    {
        const QString module = fixtures::loadSineSource("mic", 440);
        QVERIFY2(!module.isEmpty(), "no sound server: run this test through with_pulse.sh");
        fixtures::pactl({"set-default-source", "mic"});
        // The level as another client hears the same source, recorded alongside.
        QProcess reference;
        reference.setStandardOutputFile(m_dir.filePath("reference.raw"));
        reference.start(
            "parec", {"-d", "mic", "--raw", "--format=float32le", "--channels=1", "--rate=44100"});
        QVERIFY(reference.waitForStarted());
        const QString path = m_dir.filePath("mic.wav");
        Capture capture(path, "default");
        QTRY_COMPARE_WITH_TIMEOUT(capture.active->count(), 1, 3000);
        QCOMPARE(QString::fromStdString(capture.source->deviceName()).isEmpty(), false);
        QCOMPARE(capture.source->sampleRate(), 44100);
        QTest::qWait(1500);
        capture.finish();
        // The sine source delivers in large, late bursts: a second of it is enough.
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(m_dir.filePath("reference.raw")).size() > 44100 * 4,
                                 5000);
        ::kill(pid_t(reference.processId()), SIGINT);
        reference.waitForFinished(3000);
        fixtures::pactl({"unload-module", module});

        const fixtures::WavFile w = fixtures::readWav(path);
        QVERIFY(w.ok);
        QCOMPARE(w.channels, 1); // the device's own format: mono floats at 44.1 kHz
        QCOMPARE(w.rate, 44100);
        QCOMPARE(w.subTag, 3);
        QCOMPARE(w.bits, 32);
        QCOMPARE(qint64(w.dataSize), qint64(w.bytes.size() - (w.formatSize + 28)));
        // Nothing of the 1.5 s is lost; the sine source renders ahead in blocks of up to
        // two seconds, so a take may run long by one block.
        QVERIFY2(w.seconds() > 1.3 && w.seconds() < 4.6, qPrintable(QString::number(w.seconds())));
        QVERIFY2(std::abs(w.pitch() - 440) < 5, qPrintable(QString::number(w.pitch())));
        QFile raw(m_dir.filePath("reference.raw"));
        QVERIFY(raw.open(QIODevice::ReadOnly));
        const QByteArray heard = raw.readAll();
        const auto *s = reinterpret_cast<const float *>(heard.constData());
        double sum = 0;
        const int n = heard.size() / 4;
        for (int i = n / 4; i < n; ++i)
            sum += double(s[i]) * s[i];
        const double expected = std::sqrt(sum / std::max(1, n - n / 4));
        const double got = w.rms(w.first.size() / 4, w.first.size());
        QVERIFY2(expected > 0.01 && std::abs(got / expected - 1) < 0.03,
                 qPrintable(QString("%1 vs %2").arg(got).arg(expected)));
    }
    void withoutServerOrMicrophoneNothingHangs()
    {
        {
            fixtures::NoServer none;
            wav::WavEncoder encoder(std::fopen(qPrintable(m_dir.filePath("none.wav")), "wb"));
            QVERIFY_EXCEPTION_THROWN(WASAPISource(WASAPISource::Input, &encoder, "default"),
                                     WASAPIError);
            WasapiEnumerator enumerator;
            QVERIFY(!enumerator.connected());
            QVERIFY(enumerator.captureDevices().isEmpty());
        }

        // A server whose default input is only the output's monitor: no microphone.
        fixtures::pactl({"set-default-source", "vsink.monitor"});
        const QString path = m_dir.filePath("nomic.wav");
        Capture capture(path, "default");
        QTRY_COMPARE_WITH_TIMEOUT(capture.inactive->count(), 1, 4000);
        QCOMPARE(capture.active->count(), 0);
        capture.finish();
        QCOMPARE(QFileInfo(path).size(), qint64(0));
    }
    void deviceListFollowsDevicesComingAndGoing()
    {
        WasapiEnumerator enumerator;
        QVERIFY(enumerator.connected());
        auto names = [&] {
            QStringList ids;
            for (const auto &device : enumerator.captureDevices())
                ids << device.first;
            return ids;
        };
        QVERIFY(!names().contains("vsink.monitor")); // outputs' monitors are no microphones
        QSignalSpy changed(&enumerator, &WasapiEnumerator::DeviceCollectionChanged);
        QSignalSpy defaultChanged(&enumerator, &WasapiEnumerator::DefaultInputDeviceChanged);
        const QString module = fixtures::loadSilentSource("plug", "PlugMic");
        QTRY_VERIFY_WITH_TIMEOUT(changed.count() >= 1, 1000);
        QVERIFY(names().contains("plug"));
        QVERIFY(enumerator.captureDevices().contains({"plug", "PlugMic"}));
        fixtures::pactl({"set-default-source", "plug"});
        QTRY_VERIFY_WITH_TIMEOUT(defaultChanged.count() >= 1, 1000);
        changed.clear();
        fixtures::pactl({"unload-module", module});
        QTRY_VERIFY_WITH_TIMEOUT(changed.count() >= 1, 1000);
        QVERIFY(!names().contains("plug"));
    }

private:
    QTemporaryDir m_dir;
};

QTEST_GUILESS_MAIN(TestCapture)
#include "tst_capture.moc"
