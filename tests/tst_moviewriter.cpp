// Movie writer: the sound covers the timeline exactly, pictures carry their colour
// tags, and a failing write still leaves a valid file. Checked with ffprobe.
#include "movie/MovieWriter.h"
#include "support/MediaFixtures.h"
#include "support/Probe.h"

#include <QJsonObject>
#include <QtTest>

#include <cmath>

namespace {

constexpr int kW = 320;
constexpr int kH = 240;

// RGBA picture with the frame number in its stripes and some texture so that
// quality settings make a difference.
std::vector<uint8_t> numberedPicture(int index)
{
    std::vector<uint8_t> px(size_t(kW) * kH * 4);
    uint32_t seed = uint32_t(index) * 2654435761u;
    for (int y = 0; y < kH; ++y)
        for (int x = 0; x < kW; ++x) {
            uint8_t *p = &px[(size_t(y) * kW + size_t(x)) * 4];
            const bool bit = index & (1 << (x * 10 / kW));
            seed = seed * 1664525u + 1013904223u;
            // Texture in the top and bottom bands; the middle keeps clean stripes.
            const uint8_t noise = (y < 60 || y >= 180) ? uint8_t(seed >> 27) : 0;
            const uint8_t v = uint8_t((bit ? 230 : 10) + (bit ? -noise : noise));
            p[0] = p[1] = p[2] = v;
            p[3] = 255;
        }
    return px;
}

// 1/30 s of a 440 Hz tone, stereo 16-bit at 44.1 kHz, continuing from frame `index`.
std::vector<int16_t> toneSlice(int index)
{
    std::vector<int16_t> pcm(1470 * 2);
    for (int i = 0; i < 1470; ++i) {
        const double t = double(index * 1470 + i) / 44100.0;
        pcm[size_t(i) * 2] = pcm[size_t(i) * 2 + 1] = int16_t(8000 * std::sin(2 * M_PI * 440 * t));
    }
    return pcm;
}

QJsonObject probe(const QString &path)
{
    return fixtures::probe(path, "stream=codec_name,codec_type,nb_read_frames,duration:format="
                                 "duration,bit_rate:format_tags=title,comment");
}

using fixtures::number;
using fixtures::streamOf;

mv::MVSettings settings(int keyInterval = 30)
{
    mv::MVSettings s;
    s.width = kW;
    s.height = kH;
    s.frameRate = 30;
    s.keyInterval = keyInterval;
    s.metadata = "title:Holiday;comment:made with ZuAEdit";
    return s;
}

// Writes `frames` frames of pictures and sound; returns whether every push worked.
bool writeMovie(const QString &path, int frames, const mv::MVSettings &s = settings())
{
    mv::MovieHandle movie = mv::create_movie(s, path.toLocal8Bit().constData());
    if (!movie)
        return false;
    bool ok = true;
    for (int k = 0; k < frames; ++k) {
        const int64_t pts = int64_t(std::trunc(1000000.0 / 30 * k));
        if (!s.audioOnly) {
            const std::vector<uint8_t> px = numberedPicture(k);
            ok = mv::push_image_frame(movie, px.data(), px.size(), kW * 4, pts,
                                      mv::PTS_MICROSECONDS) &&
                 ok;
        }
        const std::vector<int16_t> pcm = toneSlice(k);
        ok = mv::push_pcm_frame(movie, reinterpret_cast<const uint8_t *>(pcm.data()),
                                pcm.size() * 2, pts, mv::PTS_MICROSECONDS) &&
             ok;
    }
    return mv::stop_movie(&movie) && ok && movie == nullptr;
}

} // namespace

class TestMovieWriter : public QObject {
    Q_OBJECT
private slots:
    void soundCoversTheTimelineExactly_data()
    {
        // The sound a player gets from the file: never shorter than the frames pushed,
        // and longer only by what the container cannot record (an avi keeps the MP3
        // encoder's delay and its last frame's padding).
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("frames");
        QTest::addColumn<int>("allowance"); // samples past the timeline a player may hear
        for (int frames : {30, 61}) {
            const QString n = QString::number(frames);
            QTest::newRow(qPrintable("mp4, " + n + " frames"))
                << "exact" + n + ".mp4" << frames << 0;
            QTest::newRow(qPrintable("mp3, " + n + " frames"))
                << "exact" + n + ".mp3" << frames << 0;
            QTest::newRow(qPrintable("avi, " + n + " frames"))
                << "exact" + n + ".avi" << frames << 1152 + 1105;
        }
    }
    void soundCoversTheTimelineExactly()
    {
        QFETCH(QString, name);
        QFETCH(int, frames);
        QFETCH(int, allowance);
        mv::MVSettings s = settings();
        s.audioOnly = name.endsWith(".mp3");
        QVERIFY(writeMovie(path(name), frames, s));
        const int64_t timeline = int64_t(frames) * 1470;
        int64_t heard = fixtures::soundSamples(path(name));
        if (name.endsWith(".mp4")) {
            // ffmpeg trims only the start of an mp4's sound; the track's length, which
            // players follow, is the measure there (and never less than is decoded).
            QVERIFY(heard >= timeline);
            const QJsonObject a = streamOf(
                fixtures::probe(path(name), "stream=codec_type,duration_ts,time_base"), "audio");
            QCOMPARE(a["time_base"].toString(), QString("1/44100"));
            heard = a["duration_ts"].toVariant().toLongLong();
        }
        qInfo("%lld samples heard for %lld on the timeline", static_cast<long long>(heard),
              static_cast<long long>(timeline));
        QVERIFY2(heard >= timeline, qPrintable(QString::number(heard)));
        QVERIFY2(heard <= timeline + allowance, qPrintable(QString::number(heard)));
    }
    void picturesAreTaggedWithTheirColours_data()
    {
        // Players read the tags to turn YUV back into the colours that were exported.
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("height");
        QTest::addColumn<QString>("matrix");
        QTest::addColumn<QString>("primaries");
        QTest::addColumn<QString>("transfer");
        QTest::newRow("HD") << 1280 << 720 << "bt709"
                            << "bt709"
                            << "bt709";
        QTest::newRow("PAL SD") << 720 << 576 << "smpte170m"
                                << "bt470bg"
                                << "smpte170m";
        QTest::newRow("small") << 320 << 240 << "smpte170m"
                               << "smpte170m"
                               << "smpte170m";
    }
    void picturesAreTaggedWithTheirColours()
    {
        QFETCH(int, width);
        QFETCH(int, height);
        QFETCH(QString, matrix);
        QFETCH(QString, primaries);
        QFETCH(QString, transfer);
        mv::MVSettings s = settings();
        s.width = width;
        s.height = height;
        const QString out = path(QString("tagged%1.mp4").arg(height));
        mv::MovieHandle movie = mv::create_movie(s, out.toLocal8Bit().constData());
        QVERIFY(movie);
        // Pure red: a wrong matrix shows as a duller or shifted red once decoded.
        std::vector<uint8_t> red(size_t(width) * size_t(height) * 4);
        for (size_t i = 0; i < red.size(); i += 4) {
            red[i] = 255;
            red[i + 3] = 255;
        }
        for (int k = 0; k < 3; ++k)
            QVERIFY(mv::push_image_frame(movie, red.data(), red.size(), width * 4,
                                         int64_t(k) * 33333, mv::PTS_MICROSECONDS));
        QVERIFY(mv::stop_movie(&movie));
        const QJsonObject v = streamOf(
            fixtures::probe(out, "stream=codec_type,color_space,color_primaries,color_transfer,"
                                 "color_range"),
            "video");
        QCOMPARE(v["color_space"].toString(), matrix);
        QCOMPARE(v["color_primaries"].toString(), primaries);
        QCOMPARE(v["color_transfer"].toString(), transfer);
        QCOMPARE(v["color_range"].toString(), QString("tv"));
        const QByteArray rgb =
            fixtures::decode(out, {"-frames:v", "1", "-f", "rawvideo", "-pix_fmt", "rgb24"});
        QVERIFY(rgb.size() >= 3 * width * height);
        const auto *centre = reinterpret_cast<const uchar *>(rgb.constData()) +
                             3 * (size_t(height / 2) * size_t(width) + size_t(width / 2));
        QVERIFY2(centre[0] >= 249 && centre[1] <= 6 && centre[2] <= 6,
                 qPrintable(QString("%1 %2 %3").arg(centre[0]).arg(centre[1]).arg(centre[2])));
    }
    void failedPushLeavesAValidFile()
    {
        mv::MovieHandle movie =
            mv::create_movie(settings(), path("broken.mp4").toLocal8Bit().constData());
        QVERIFY(movie);
        const std::vector<uint8_t> px = numberedPicture(0);
        QVERIFY(mv::push_image_frame(movie, px.data(), px.size(), kW * 4, 0, mv::PTS_MICROSECONDS));
        QVERIFY(!mv::push_image_frame(movie, px.data(), 100, kW * 4, 33333, mv::PTS_MICROSECONDS));
        QVERIFY(
            !mv::push_image_frame(movie, nullptr, px.size(), kW * 4, 33333, mv::PTS_MICROSECONDS));
        QVERIFY(!mv::push_pcm_frame(movie, px.data(), 1, 0, mv::PTS_MICROSECONDS));
        QVERIFY(
            !mv::push_image_frame(movie, px.data(), px.size(), kW * 4, 33333, 0)); // other pts type
        QVERIFY(
            mv::push_image_frame(movie, px.data(), px.size(), kW * 4, 66666, mv::PTS_MICROSECONDS));
        QVERIFY(mv::stop_movie(&movie));
        QVERIFY(!movie);
        QVERIFY(!mv::stop_movie(&movie));
        const QJsonObject info = probe(path("broken.mp4"));
        QCOMPARE(streamOf(info, "video")["nb_read_frames"].toString().toInt(), 2);
    }

private:
    QString path(const QString &name) const { return m_dir.filePath(name); }
    QTemporaryDir m_dir;
};

QTEST_GUILESS_MAIN(TestMovieWriter)
#include "tst_moviewriter.moc"
