// What the export shows and plays is what the sources hold, for media of many shapes:
// each file goes on a timeline twice — at 0.2 s from its start, and at 1 s from 1 s
// into it, the second clip on the same track — and is exported through the real
// path. Every exported frame under a clip is compared with ffmpeg's own decode of
// the source at the same time (the frame whose time is at or before it; the first
// frame before the video begins), the sound under each clip with ffmpeg's decode of
// the source's sound, and the gap between the clips must be silent.
//
// The export is x264 in 4:2:0 at constant quality: a smooth moving picture shown at
// its own size keeps about 40 dB through it; a wrong colour matrix or range, a
// sideways or squeezed picture, a frame decoded without its reference or one from
// another time costs far more (typically below 30 dB).
#include "main/TimelineWiring.h"
#include "render/RenderManager.h"
#include "render/export/ExportManager.h"
#include "render/export/MVParams.h"
#include "support/Exporting.h"
#include "support/MediaFixtures.h"
#include "support/Probe.h"
#include "support/SceneGrab.h"
#include "timeline/ClassifyItem.h"
#include "timeline/SourceItem.h"
#include "timeline/TimeLineWidget.h"
#include "timeline/TimelineDocument.h"

#include "common/ValueQt.h"
#include "undo/UndoController.h"

#include <QtTest>

#include <cmath>
#include <cstring>
#include <memory>

namespace {

// The timeline: two clips of 12 frames on one track, silence between them.
struct Placement {
    int64_t at;     // timeline frame
    int64_t inWhat; // in-point, frames of 1/30 s
};
constexpr Placement kClips[] = {{6, 0}, {30, 30}};
constexpr int64_t kLength = 12;
constexpr int64_t kTimeline = 42;

// A smooth picture that moves: red grows to the right, green downwards (a turned or
// flipped picture cannot match), blue changes with time (another frame cannot match).
QString pattern(int w, int h, const QString &rate = "30", double seconds = 2)
{
    return QString("color=black:s=%1x%2:r=%3:d=%4,format=gbrp,"
                   "geq=r='30+190*X/W':g='40+180*Y/H':b='128+100*sin(6.283*T*1.3+X/W*3)'")
        .arg(w)
        .arg(h)
        .arg(rate)
        .arg(seconds);
}

// 440 Hz for the first second of the file, 880 Hz after it: each clip's own part.
const QString kTone = "aevalsrc='0.25*sin(2*PI*(440+440*gte(t\\,1))*t)':s=44100:d=2";

struct Shape {
    QString file;
    QStringList make;  // ffmpeg arguments making it (output appended)
    QString derive;    // made from another shape by stream copy with these options
    QString reference; // filter bringing ffmpeg's decode to the shown picture
    int width, height; // as shown
    double minPsnr;
    bool sound;
    int joinedAt = 0; // percent: the file is what a recorder joining there kept
};

QStringList h264(const QString &pix = "yuv420p")
{
    return {"-c:v", "libx264", "-preset", "veryfast", "-crf", "12", "-pix_fmt", pix};
}

// A shape made by ffmpeg with `make`, shown at `w` × `h`.
Shape made(const QString &file, const QStringList &make, int w, int h, bool sound,
           double minPsnr = 40)
{
    return Shape{file, make, {}, {}, w, h, minPsnr, sound};
}

QList<Shape> shapes()
{
    const QStringList tone{"-f", "lavfi", "-i", kTone};
    const QStringList aac{"-c:a", "aac", "-b:a", "192k", "-shortest"};
    auto video = [](const QString &graph) { return QStringList{"-f", "lavfi", "-i", graph}; };
    const QString to709 = ",scale=out_color_matrix=bt709:out_range=tv,format=yuv420p";
    const QStringList tag709 = QString("-colorspace bt709 -color_primaries bt709 -color_trc bt709 "
                                       "-color_range tv")
                                   .split(' ');
    const QStringList sd = video(pattern(320, 240));
    QList<Shape> list;
    list << made("sd.mp4", sd + tone + h264() + aac, 320, 240, true);
    list << made("hd709.mp4", video(pattern(1280, 720) + to709) + tone + h264() + tag709 + aac,
                 1280, 720, true);
    // Untagged HD: players take the HD matrix, which is what the encoder used.
    Shape untagged =
        made("untaggedhd.mp4", video(pattern(1280, 720) + to709) + h264(), 1280, 720, false);
    untagged.reference = "scale=in_color_matrix=bt709:in_range=tv,format=rgb24";
    list << untagged;
    list << made("fullrange.mp4",
                 video(pattern(320, 240) + ",scale=out_range=pc,format=yuv420p") + h264() +
                     QStringList{"-color_range", "pc"},
                 320, 240, false);
    // A transport stream recorded from the middle: it starts inside a group of
    // pictures, before the next key frame, so its first packets cannot be decoded.
    Shape joined =
        made("joined.ts",
             video(pattern(320, 240, "30", 3)) +
                 QStringList{"-f", "lavfi", "-i", QString(kTone).replace("d=2", "d=3")} + h264() +
                 QStringList{"-g", "15", "-bf", "2"} + aac + QStringList{"-f", "mpegts"},
             320, 240, true);
    joined.joinedAt = 20;
    list << joined;
    // Screen recorders: the video starts half a second after the sound.
    for (const QString &late : {QString("late.flv"), QString("late.ts")})
        list << made(late,
                     QStringList{"-itsoffset", "0.5"} + sd + tone + h264() +
                         QStringList{"-c:a", "aac", "-b:a", "192k", "-t", "2"},
                     320, 240, true);
    // MPEG program streams (DVD camcorders, TV recordings) start their clock at about
    // half a second, and are long enough for the demuxer to search them for their
    // length; their first picture is frame 0 all the same.
    for (const QString &ps : {QString("program.mpg"), QString("dvd.vob")})
        list << made(ps,
                     video(pattern(320, 240, "30", 8)) +
                         QStringList{"-f", "lavfi", "-i", QString(kTone).replace("d=2", "d=8")} +
                         QStringList{"-c:v", "mpeg2video", "-q:v", "2", "-c:a", "mp2", "-shortest",
                                     "-f", ps.endsWith("vob") ? "vob" : "mpeg"},
                     320, 240, true, 36);
    list << made("onekey.ts", sd + tone + h264() + QStringList{"-g", "1000"} + aac, 320, 240, true);
    // Phones store portrait video landscape with a turn in the display matrix.
    for (int turn : {90, 180, 270}) {
        Shape turned = made(QString("turned%1.mp4").arg(turn), {}, turn == 180 ? 320 : 240,
                            turn == 180 ? 240 : 320, true);
        turned.derive = QString("-metadata:s:v:0 rotate=%1").arg(turn);
        list << turned;
    }
    Shape anamorphic = made("anamorphic.mp4", video(pattern(360, 288) + ",setsar=16/15") + h264(),
                            384, 288, false, 38);
    anamorphic.reference = "scale=384:288:flags=bicubic";
    list << anamorphic;
    list << made("tenbit.mp4", video(pattern(640, 360)) + h264("yuv420p10le"), 640, 360, false);
    list << made("full444.mp4", sd + h264("yuv444p"), 320, 240, false);
    list << made("ntsc422.mp4", video(pattern(320, 240, "24000/1001")) + h264("yuv422p"), 320, 240,
                 false);
    list << made("portrait.mov",
                 video(pattern(240, 320)) + tone + h264() +
                     QStringList{"-ac", "1", "-c:a", "aac", "-shortest"},
                 240, 320, true);
    list << made("mpeg4.avi",
                 sd + tone +
                     QStringList{"-c:v", "mpeg4", "-q:v", "2", "-c:a", "libmp3lame", "-shortest"},
                 320, 240, true, 38);
    list << made("vfr.mp4",
                 video(pattern(320, 240) + ",select='not(mod(n\\,3))'") + h264() +
                     QStringList{"-fps_mode", "vfr"},
                 320, 240, false);
    list << made("surround48k.mp4",
                 sd +
                     QStringList{"-f", "lavfi", "-i",
                                 "aevalsrc='0.25*sin(2*PI*(440+440*gte(t\\,1))*t)':s=48000:d=2",
                                 "-ac", "6"} +
                     h264() + aac,
                 320, 240, true);
    return list;
}

// ffmpeg's decode of every picture of a file, as shown (turned as the file says),
// with each picture's time from the file's start.
struct Decoded {
    QVector<double> times;
    QVector<QImage> pictures;
};

Decoded decodeAll(const QString &path, const QString &reference, int w, int h)
{
    Decoded d;
    const QJsonObject info = fixtures::probe(path, "format=start_time");
    const double start = fixtures::number(info["format"].toObject(), "start_time");
    QProcess probe;
    probe.start("ffprobe", {"-v", "error", "-select_streams", "v:0", "-show_entries",
                            "frame=best_effort_timestamp_time", "-of", "csv=p=0", path});
    probe.waitForFinished(60000);
    for (const QByteArray &line : probe.readAllStandardOutput().split('\n'))
        if (!line.trimmed().isEmpty()) { // some demuxers add empty fields after the time
            bool known = false;
            const double t = line.split(',').first().trimmed().toDouble(&known);
            // A picture without a time stamp ("N/A") follows the one before it.
            const double step =
                d.times.size() > 1 ? d.times.last() - d.times[d.times.size() - 2] : 1.0 / 30;
            d.times << (known ? t - start : (d.times.isEmpty() ? 0 : d.times.last() + step));
        }
    QStringList out{"-fps_mode", "passthrough"};
    if (!reference.isEmpty())
        out << "-vf" << reference;
    out << "-f"
        << "rawvideo"
        << "-pix_fmt"
        << "rgb24";
    const QByteArray raw = fixtures::decode(path, out);
    const int bytes = w * h * 3;
    for (int k = 0; k + bytes <= raw.size(); k += bytes)
        d.pictures << QImage(reinterpret_cast<const uchar *>(raw.constData() + k), w, h, w * 3,
                             QImage::Format_RGB888)
                          .copy();
    return d;
}

// The picture shown at `t` seconds: the last one at or before it, else the first.
int shownAt(const Decoded &d, double t)
{
    int index = 0;
    for (int k = 0; k < d.times.size(); ++k)
        if (d.times[k] <= t + 1e-4)
            index = k;
    return index;
}

// Samples of 44.1 kHz stereo sound as ffmpeg decodes the file. A mono source is
// heard at full level on both sides (as the editor plays it); more channels are
// mixed down as ffmpeg does.
std::vector<int16_t> soundOf(const QString &path)
{
    const QJsonObject a =
        fixtures::streamOf(fixtures::probe(path, "stream=codec_type,channels"), "audio");
    QStringList out{"-vn", "-f", "s16le", "-ar", "44100"};
    if (a["channels"].toInt() == 1)
        out << "-af"
            << "pan=stereo|c0=c0|c1=c0";
    else
        out << "-ac"
            << "2";
    const QByteArray pcm = fixtures::decode(path, out);
    std::vector<int16_t> samples(size_t(pcm.size()) / 2);
    std::memcpy(samples.data(), pcm.constData(), samples.size() * 2);
    return samples;
}

// Level (dB of full scale) of the left channel over [from, to) seconds.
double levelOf(const std::vector<int16_t> &s, double from, double to)
{
    const size_t a = size_t(from * 44100) * 2, b = std::min(s.size(), size_t(to * 44100) * 2);
    double sum = 0;
    size_t n = 0;
    for (size_t i = a; i < b; i += 2, ++n)
        sum += double(s[i]) * s[i];
    return n ? 10 * std::log10(sum / double(n) / (32768.0 * 32768.0) + 1e-12) : -120;
}

// Rising zero crossings per second of the left channel over [from, to): the pitch.
double pitchOf(const std::vector<int16_t> &s, double from, double to)
{
    const size_t a = size_t(from * 44100) * 2, b = std::min(s.size(), size_t(to * 44100) * 2);
    int rising = 0;
    for (size_t i = a + 2; i < b; i += 2)
        rising += s[i - 2] < 0 && s[i] >= 0;
    return rising / (to - from);
}

} // namespace

class TestFidelity : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void exportMatchesTheSources_data();
    void exportMatchesTheSources();
    void anotherShapeIsFittedWithBars();
    void overlaysStayAboveACrossFadeThatEndsWithItsClips();
    void plainFramesMatchTheComposedOnes();

private:
    // A timeline panel wired to the render manager, its scene `w` × `h`.
    std::unique_ptr<TimeLineWidget> timelineOf(int w, int h);
    SourceItem *place(TimelineDocument *model, ClassifyItem *track, uint32_t kind,
                      const QString &file, Placement p, int64_t length, const QRectF &rect);
    QString exportAt(const QString &name, int w, int h, int kbps = 0);
    QString path(const QString &file) const { return m_dir.filePath(file); }
    QTemporaryDir m_dir;
    RenderManager *m_rm = nullptr;
    Exporter *m_export = nullptr; // a child of m_rm
};

void TestFidelity::initTestCase()
{
    for (const Shape &s : shapes()) {
        QString err;
        if (s.joinedAt > 0) {
            const QString whole = path(s.file + ".whole");
            QVERIFY2(fixtures::ffmpeg(s.make + QStringList{whole}, &err), qPrintable(err));
            QFile in(whole), out(path(s.file));
            QVERIFY(in.open(QIODevice::ReadOnly) && out.open(QIODevice::WriteOnly));
            const qint64 packets = in.size() / 188;
            QVERIFY(in.seek(packets * s.joinedAt / 100 * 188));
            out.write(in.readAll());
        } else if (s.derive.isEmpty()) {
            QVERIFY2(fixtures::ffmpeg(s.make + QStringList{path(s.file)}, &err),
                     qPrintable(s.file + ": " + err));
        } else
            QVERIFY2(fixtures::ffmpeg(QStringList{"-i", path("sd.mp4"), "-c", "copy"} +
                                          s.derive.split(' ') + QStringList{path(s.file)},
                                      &err),
                     qPrintable(s.file + ": " + err));
    }
    m_rm = new RenderManager;
    QVERIFY(m_rm->init());
    m_export = fixtures::exporterOf(m_rm);
    m_export->manager()->setRevealWritten(false);
}

void TestFidelity::cleanupTestCase()
{
    delete m_rm;
}

void TestFidelity::exportMatchesTheSources_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("reference");
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");
    QTest::addColumn<double>("minPsnr");
    QTest::addColumn<bool>("sound");
    for (const Shape &s : shapes())
        QTest::newRow(qPrintable(s.file))
            << s.file << s.reference << s.width << s.height << s.minPsnr << s.sound;
}

void TestFidelity::exportMatchesTheSources()
{
    QFETCH(QString, file);
    QFETCH(QString, reference);
    QFETCH(int, width);
    QFETCH(int, height);
    QFETCH(double, minPsnr);
    QFETCH(bool, sound);

    zua::UndoController::instance()->reset();
    TimeLineWidget timeline;
    wireTimeline(m_rm, &timeline, m_export);
    m_rm->setSceneSize(uint32_t(width), uint32_t(height), true);
    TimelineDocument *model = timeline.model();
    ClassifyItem *track = model->group(CT_VIDEO);
    for (const Placement &p : kClips) {
        SourceItem *clip = model->createClip(track, CT_VIDEO, path(file), p.at);
        QVERIFY(clip);
        clip->setValue("source", SourceData::sourceValue(track, p.at, kLength, p.inWhat), false,
                       true);
        clip->setValue("previewRect", bg::ValueQt(QRectF(0, 0, width, height)), false, true);
        QCOMPARE(clip->start(), p.at);
        QCOMPARE(clip->offset(), p.inWhat);
    }
    QCOMPARE(track->clips().size(), 2);

    MVParams params;
    params.path = path("out-" + QFileInfo(file).completeBaseName() + ".mp4");
    params.replace = true; // each placement row exports under one name
    params.width = width;
    params.height = height;
    params.frameRate = 30;
    params.keyInterval = 30;
    QCOMPARE(m_export->exportMovie(params), int(ExportManager::Result::Written));
    model->clearAll();

    const Decoded source = decodeAll(path(file), reference, width, height);
    const Decoded exported = decodeAll(params.path, {}, width, height);
    QVERIFY(!source.pictures.isEmpty());
    QCOMPARE(exported.pictures.size(), int(kTimeline));
    for (const Placement &p : kClips) {
        double worst = 1000;
        for (int64_t k = 0; k < kLength; ++k) {
            const int want = shownAt(source, double(p.inWhat + k) / 30.0);
            const QImage &ours = exported.pictures[int(p.at + k)];
            const double db = fixtures::psnr(ours, source.pictures[want]);
            worst = std::min(worst, db);
            QVERIFY2(db >= minPsnr, qPrintable(QString("frame %1 (source picture %2): %3 dB")
                                                   .arg(p.at + k)
                                                   .arg(want)
                                                   .arg(db, 0, 'f', 1)));
            // No other picture of the source fits better: the frame is not shifted.
            for (int other : {want - 1, want + 1})
                if (other >= 0 && other < source.pictures.size() &&
                    source.pictures[other] != source.pictures[want])
                    QVERIFY2(fixtures::psnr(ours, source.pictures[other]) < db,
                             qPrintable(QString("frame %1 matches source picture %2 better than %3")
                                            .arg(p.at + k)
                                            .arg(other)
                                            .arg(want)));
        }
        qInfo("clip at %.1f s from %.1f s: worst frame %.1f dB", p.at / 30.0, p.inWhat / 30.0,
              worst);
    }
    if (!sound)
        return;
    const std::vector<int16_t> ours = soundOf(params.path), theirs = soundOf(path(file));
    QVERIFY(ours.size() >= size_t(kTimeline * 1470 * 2));
    for (const Placement &p : kClips) {
        // Inside the clip, clear of its edges (the codec smears a cut over a frame).
        const double from = (p.at + 2) / 30.0, to = (p.at + kLength - 2) / 30.0;
        const double sourceFrom = (p.inWhat + 2) / 30.0, sourceTo = (p.inWhat + kLength - 2) / 30.0;
        const double heard = levelOf(ours, from, to), want = levelOf(theirs, sourceFrom, sourceTo);
        const double pitch = pitchOf(ours, from, to),
                     wantPitch = pitchOf(theirs, sourceFrom, sourceTo);
        qInfo("clip at %.1f s from %.1f s: %.1f dB at %.0f Hz (source %.1f dB at %.0f Hz)",
              p.at / 30.0, p.inWhat / 30.0, heard, pitch, want, wantPitch);
        QVERIFY2(
            std::abs(heard - want) <= 1.0,
            qPrintable(QString("%1 dB against %2 dB").arg(heard, 0, 'f', 1).arg(want, 0, 'f', 1)));
        QVERIFY2(std::abs(pitch - wantPitch) <= 0.05 * wantPitch,
                 qPrintable(QString("%1 Hz against %2 Hz").arg(pitch).arg(wantPitch)));
    }
    // Between the clips nothing sounds.
    const double gap =
        levelOf(ours, (kClips[0].at + kLength + 2) / 30.0, (kClips[1].at - 2) / 30.0);
    QVERIFY2(gap < -60, qPrintable(QString("%1 dB between the clips").arg(gap)));
}

std::unique_ptr<TimeLineWidget> TestFidelity::timelineOf(int w, int h)
{
    zua::UndoController::instance()->reset();
    auto timeline = std::make_unique<TimeLineWidget>();
    wireTimeline(m_rm, timeline.get(), m_export);
    m_rm->setSceneSize(uint32_t(w), uint32_t(h), true);
    return timeline;
}

SourceItem *TestFidelity::place(TimelineDocument *model, ClassifyItem *track, uint32_t kind,
                                const QString &file, Placement p, int64_t length,
                                const QRectF &rect)
{
    SourceItem *clip = model->createClip(track, kind, path(file), p.at);
    if (!clip)
        return nullptr;
    clip->setValue("source", SourceData::sourceValue(track, p.at, length, p.inWhat), false, true);
    clip->setValue("previewRect", bg::ValueQt(rect), false, true);
    return clip;
}

QString TestFidelity::exportAt(const QString &name, int w, int h, int kbps)
{
    MVParams params;
    params.bitRate = kbps;
    params.path = path(name);
    params.replace = true;
    params.width = w;
    params.height = h;
    params.frameRate = 30;
    params.keyInterval = 30;
    return m_export->exportMovie(params) == int(ExportManager::Result::Written) ? params.path
                                                                                : QString();
}

void TestFidelity::anotherShapeIsFittedWithBars()
{
    // A 4:3 project exported upright (240 × 320): the whole picture, fitted, with
    // black bars above and below; never squeezed.
    auto timeline = timelineOf(320, 240);
    TimelineDocument *model = timeline->model();
    QVERIFY(place(model, model->group(CT_VIDEO), CT_VIDEO, "sd.mp4", {0, 15}, 12,
                  QRectF(0, 0, 320, 240)));
    const QString out = exportAt("upright.mp4", 240, 320);
    model->clearAll();
    QVERIFY(!out.isEmpty());
    const Decoded ours = decodeAll(out, {}, 240, 320);
    const Decoded want =
        decodeAll(path("sd.mp4"), "scale=240:180:flags=bilinear,pad=240:320:0:70", 240, 320);
    QCOMPARE(ours.pictures.size(), 12);
    const double db = fixtures::psnr(ours.pictures[5], want.pictures[shownAt(want, 20 / 30.0)]);
    qInfo("fitted with bars: %.1f dB", db);
    QVERIFY2(db >= 35, qPrintable(QString("%1 dB").arg(db)));
}

void TestFidelity::overlaysStayAboveACrossFadeThatEndsWithItsClips()
{
    // Two one-second clips joined by a two-second cross-fade (longer than the clips
    // can give), a magenta sticker on the picture track above them.
    QVERIFY(fixtures::ffmpeg(
        {"-f", "lavfi", "-i", "color=c=0xff00ff:s=80x60", "-frames:v", "1", path("sticker.png")}));
    auto timeline = timelineOf(320, 240);
    TimelineDocument *model = timeline->model();
    SourceItem *a = place(model, model->group(CT_VIDEO), CT_VIDEO, "sd.mp4", {0, 0}, 30,
                          QRectF(0, 0, 320, 240));
    SourceItem *b = place(model, model->group(CT_VIDEO), CT_VIDEO, "sd.mp4", {30, 30}, 30,
                          QRectF(0, 0, 320, 240));
    QVERIFY(a && b);
    QVERIFY(place(model, model->group(CT_PICTURE), CT_PICTURE, "sticker.png", {0, 0}, 60,
                  QRectF(100, -60, 80, 60)));
    QVERIFY(model->addTransition("over_cross", a, b, 2000, 5, false));
    const QString out = exportAt("overlay.mp4", 320, 240);
    model->clearAll();
    QVERIFY(!out.isEmpty());
    const Decoded ours = decodeAll(out, {}, 320, 240);
    QCOMPARE(ours.pictures.size(), 60); // no black frames after the last clip
    for (int frame : {0, 15, 30, 45, 59}) {
        const QColor sticker = ours.pictures[frame].pixelColor(160 + 100, 120 - 60);
        QVERIFY2(sticker.red() > 235 && sticker.green() < 20 && sticker.blue() > 235,
                 qPrintable(QString("frame %1: %2").arg(frame).arg(sticker.name())));
    }
}

void TestFidelity::plainFramesMatchTheComposedOnes()
{
    // Plain frames (one clip filling the picture, trimmed, a cross-fade, with still
    // overlays over two edges, one of them half transparent) and composed ones (a clip
    // with a colour control), once the short way and once all composed by the graph: every
    // frame shows the same picture. Nearly lossless, so only the pictures differ.
    QVERIFY(fixtures::ffmpeg({"-f", "lavfi", "-i", "color=c=0x20c040@0.6:s=90x70,format=rgba",
                              "-frames:v", "1", path("glass.png")}));
    QVERIFY(fixtures::ffmpeg(
        {"-f", "lavfi", "-i", "color=c=0xff00ff:s=80x60", "-frames:v", "1", path("sticker.png")}));
    auto timeline = timelineOf(320, 240);
    TimelineDocument *model = timeline->model();
    const QRectF whole(0, 0, 320, 240);
    SourceItem *a = place(model, model->group(CT_VIDEO), CT_VIDEO, "sd.mp4", {0, 0}, 40, whole);
    // Within the material's 60 frames.
    SourceItem *b = place(model, model->group(CT_VIDEO), CT_VIDEO, "sd.mp4", {40, 20}, 40, whole);
    SourceItem *c = place(model, model->group(CT_VIDEO), CT_VIDEO, "sd.mp4", {80, 10}, 20, whole);
    QVERIFY(a && b && c);
    c->setValue("bright", bg::Value(int32_t(40)), false, true);
    QVERIFY(model->addTransition("over_cross", a, b, 500, 5, false));
    QVERIFY(place(model, model->group(CT_PICTURE), CT_PICTURE, "glass.png", {0, 0}, 100,
                  QRectF(-155, -100, 90, 70)));
    model->insertTrack(model->group(CT_PICTURE), 0, false);
    QVERIFY(place(model, model->group(CT_PICTURE)->child(0), CT_PICTURE, "sticker.png", {0, 0}, 100,
                  QRectF(150, 110, 80, 60)));

    ExportManager *exports = m_export->manager();
    const QString shortWay = exportAt("short.mp4", 320, 240, 20000);
    const ExportManager::Paths paths = exports->lastPaths();
    exports->setShortWay(false);
    const QString composed = exportAt("composed.mp4", 320, 240, 20000);
    const ExportManager::Paths allComposed = exports->lastPaths();
    exports->setShortWay(true);
    model->clearAll();
    QVERIFY(!shortWay.isEmpty() && !composed.isEmpty());
    // The coloured clip's frames are composed; the rest (the cross-fade too) are plain.
    QVERIFY2(paths.plain >= 75 && paths.composed >= 15,
             qPrintable(QString("%1 plain, %2 composed").arg(paths.plain).arg(paths.composed)));
    QCOMPARE(allComposed.plain, int64_t(0));

    const Decoded ours = decodeAll(shortWay, {}, 320, 240);
    const Decoded want = decodeAll(composed, {}, 320, 240);
    QVERIFY(ours.pictures.size() >= 100);
    QCOMPARE(int64_t(ours.pictures.size()), paths.plain + paths.composed);
    QCOMPARE(want.pictures.size(), ours.pictures.size());
    double worst = 1000;
    int worstAt = -1;
    for (int i = 0; i < ours.pictures.size(); ++i) {
        const double db = fixtures::psnr(ours.pictures[i], want.pictures[i]);
        if (db < worst) {
            worst = db;
            worstAt = i;
        }
    }
    qInfo("short way against composed: worst frame %d at %.1f dB", worstAt, worst);
    QVERIFY2(worst >= 40, qPrintable(QString("frame %1: %2 dB").arg(worstAt).arg(worst)));
    // At the half-transparent overlay's edge, inside and outside it.
    for (const QPoint at : {QPoint(5, 20), QPoint(49, 20), QPoint(51, 20), QPoint(245, 215)}) {
        const QColor x = ours.pictures[10].pixelColor(at), y = want.pictures[10].pixelColor(at);
        QVERIFY2(std::abs(x.red() - y.red()) <= 6 && std::abs(x.green() - y.green()) <= 6 &&
                     std::abs(x.blue() - y.blue()) <= 6,
                 qPrintable(QString("(%1, %2): %3 against %4")
                                .arg(at.x())
                                .arg(at.y())
                                .arg(x.name(), y.name())));
    }
}

QTEST_MAIN(TestFidelity)
#include "tst_fidelity.moc"
