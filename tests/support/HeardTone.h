#pragma once
// Reads a tone back from a recording of the null sink's monitor (raw 16-bit stereo at
// 44.1 kHz). The sink renders in bursts and may drop a little under load, so the pitch
// comes from the periods inside the loud stretches, never from the span between the
// first and the last loud sample (a gap in between would lower it).

#include <QByteArray>
#include <QFileInfo>
#include <QProcess>
#include <QTest>

#include <algorithm>
#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <vector>

namespace fixtures {

struct HeardTone {
    bool heard = false;
    int peak = 0;         // of the left channel
    double pitch = 0;     // Hz, from whole periods only
    double seconds = 0;   // sound covered by those periods
    bool inverted = true; // right = −left wherever the tone is loud
};

inline HeardTone heardTone(const QByteArray &raw, int threshold, int rate = 44100)
{
    HeardTone t;
    const auto *s = reinterpret_cast<const int16_t *>(raw.constData());
    const int frames = raw.size() / 4;
    auto loudAround = [&](int i) {
        for (int k = std::max(0, i - 40); k < std::min(frames, i + 40); ++k)
            if (std::abs(int(s[2 * k])) > threshold)
                return true;
        return false;
    };
    std::vector<int> rising;
    for (int i = 0; i < frames; ++i) {
        const int l = s[2 * i], r = s[2 * i + 1];
        if (std::abs(l) > threshold) {
            t.heard = true;
            t.peak = std::max(t.peak, std::abs(l));
            t.inverted = t.inverted && std::abs(l + r) < 200;
        }
        if (i > 0 && s[2 * (i - 1)] < 0 && s[2 * i] >= 0 && loudAround(i))
            rising.push_back(i);
    }
    std::vector<int> periods;
    for (size_t k = 1; k < rising.size(); ++k)
        periods.push_back(rising[k] - rising[k - 1]);
    if (periods.empty())
        return t;
    std::vector<int> sorted = periods;
    std::nth_element(sorted.begin(), sorted.begin() + long(sorted.size() / 2), sorted.end());
    const int median = sorted[sorted.size() / 2];
    int64_t total = 0, count = 0;
    for (int p : periods)
        if (p * 10 >= median * 7 && p * 10 <= median * 13) { // a gap spans more than a period
            total += p;
            ++count;
        }
    t.seconds = double(total) / rate;
    t.pitch = total > 0 ? double(count) * rate / double(total) : 0;
    return t;
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
        // Connected before anything plays: the monitor's silence is arriving.
        if (m_started)
            QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(file).size() > 0, 5000);
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

} // namespace fixtures
