#pragma once
// Reads a WAV file as the capture writes it: the header's fields and sizes, and the
// samples of the first channel as floats in [-1, 1].

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QtEndian>

#include <cmath>
#include <cstring>
#include <vector>

namespace fixtures {

struct WavFile {
    bool ok = false;
    QByteArray bytes;
    quint32 riffSize = 0, formatSize = 0, dataSize = 0;
    int tag = 0, channels = 0, rate = 0, bits = 0, blockAlign = 0, subTag = 0;
    int headers = 0;          // "RIFF" chunks anywhere in the file
    std::vector<float> first; // the first channel

    double seconds() const { return rate ? double(first.size()) / rate : 0; }
    double rms(size_t from, size_t to) const
    {
        double sum = 0;
        to = std::min(to, first.size());
        for (size_t i = from; i < to; ++i)
            sum += double(first[i]) * first[i];
        return to > from ? std::sqrt(sum / double(to - from)) : 0;
    }
    // Rising zero crossings per second over the loud part.
    double pitch() const
    {
        int crossings = 0;
        for (size_t i = 1; i < first.size(); ++i)
            crossings += first[i - 1] < 0 && first[i] >= 0;
        return rate && !first.empty() ? crossings * double(rate) / double(first.size()) : 0;
    }
};

inline WavFile readWav(const QString &path)
{
    WavFile w;
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return w;
    w.bytes = f.readAll();
    const auto *b = reinterpret_cast<const uchar *>(w.bytes.constData());
    if (w.bytes.size() < 46 || std::memcmp(b, "RIFF", 4) != 0 || std::memcmp(b + 12, "fmt ", 4))
        return w;
    w.headers = w.bytes.count("RIFF");
    w.riffSize = qFromLittleEndian<quint32>(b + 4);
    w.formatSize = qFromLittleEndian<quint32>(b + 16);
    w.tag = qFromLittleEndian<quint16>(b + 20);
    w.channels = qFromLittleEndian<quint16>(b + 22);
    w.rate = int(qFromLittleEndian<quint32>(b + 24));
    w.blockAlign = qFromLittleEndian<quint16>(b + 32);
    w.bits = qFromLittleEndian<quint16>(b + 34);
    if (w.formatSize >= 40)
        w.subTag = qFromLittleEndian<quint16>(b + 44);
    const int data = int(20 + w.formatSize);
    if (w.bytes.size() < data + 8 || std::memcmp(b + data, "data", 4) != 0)
        return w;
    w.dataSize = qFromLittleEndian<quint32>(b + data + 4);
    const bool floating = w.tag == 3 || (w.tag == 0xFFFE && w.subTag == 3);
    for (int at = data + 8; w.blockAlign > 0 && at + w.blockAlign <= w.bytes.size();
         at += w.blockAlign) {
        if (floating && w.bits == 32) {
            float v;
            std::memcpy(&v, b + at, 4);
            w.first.push_back(v);
        } else if (w.bits == 16) {
            w.first.push_back(qFromLittleEndian<qint16>(b + at) / 32768.0f);
        }
    }
    w.ok = true;
    return w;
}

} // namespace fixtures
