// Render regression: small projects exported through the real path, frame by frame
// against an independent reference: an ffmpeg filter graph for placement, size,
// fit, crop, rotation, transparency and stacking; the C++ evaluation of the
// programs' formulas for the fourteen transitions and the colour controls.
//
// The export is x264 at constant quality in 4:2:0, so no frame matches bit for bit:
// the PSNR each case must reach is stated with the case. Subtitles are compared by
// where their ink lands, its size and colour (two text rasterisers never agree to
// the pixel on anti-aliasing and vertical centring), plus a PSNR floor. Smooth gradients keep the
// codec's own loss near 40 dB; sharp edges (a turned picture, the bands of a
// transition) cost more, because halving the chroma smears every edge by a pixel.
#include "main/TimelineWiring.h"
#include "render/RenderManager.h"
#include "render/ShaderLibrary.h"
#include "render/export/ExportManager.h"
#include "render/export/MVParams.h"
#include "support/Exporting.h"
#include "support/MediaFixtures.h"
#include "support/SceneGrab.h"
#include "support/ShaderReference.h"
#include "timeline/ClassifyItem.h"
#include "timeline/SourceItem.h"
#include "timeline/TimeLineWidget.h"
#include "timeline/TimelineDocument.h"

#include "common/ValueQt.h"
#include "undo/UndoController.h"

#include <QtTest>

#include <cmath>

namespace {

constexpr int kW = 320, kH = 240;

// One frame of a video (by index) as RGB.
QImage frameOf(const QString &path, int index)
{
    QProcess p;
    p.start("ffmpeg", {"-v", "error", "-i", path, "-vf", QString("select=eq(n\\,%1)").arg(index),
                       "-frames:v", "1", "-f", "rawvideo", "-pix_fmt", "rgb24", "-"});
    p.waitForFinished(60000);
    const QByteArray rgb = p.readAllStandardOutput();
    if (rgb.size() != kW * kH * 3)
        return QImage();
    return QImage(reinterpret_cast<const uchar *>(rgb.constData()), kW, kH, kW * 3,
                  QImage::Format_RGB888)
        .copy();
}

// The picture an ffmpeg filter graph makes from the given inputs (the graph's
// output is [out], one 320 × 240 frame).
QImage ffmpegPicture(const QStringList &inputs, const QString &graph)
{
    QStringList args{"-v", "error"};
    for (const QString &in : inputs)
        args << "-i" << in;
    args << "-filter_complex" << graph + ",format=rgb24[out]"
         << "-map"
         << "[out]"
         << "-frames:v"
         << "1"
         << "-f"
         << "rawvideo"
         << "-";
    QProcess p;
    p.start("ffmpeg", args);
    p.waitForFinished(60000);
    const QByteArray rgb = p.readAllStandardOutput();
    if (rgb.size() != kW * kH * 3) {
        qWarning().noquote() << p.readAllStandardError();
        return QImage();
    }
    return QImage(reinterpret_cast<const uchar *>(rgb.constData()), kW, kH, kW * 3,
                  QImage::Format_RGB888)
        .copy();
}

// What a linearly filtered texture of `img` gives at (u, v).
reference::Sampler sampler(const QImage &source)
{
    const QImage img = source.convertToFormat(QImage::Format_RGBA8888);
    return [img](double u, double v) {
        const double fx = std::clamp(u * img.width() - 0.5, 0.0, double(img.width() - 1));
        const double fy = std::clamp(v * img.height() - 0.5, 0.0, double(img.height() - 1));
        const int x0 = int(fx), x1 = std::min(x0 + 1, img.width() - 1);
        const int y0 = int(fy), y1 = std::min(y0 + 1, img.height() - 1);
        const double tx = fx - x0, ty = fy - y0;
        reference::Rgba out{0, 0, 0, 1};
        const QColor c00 = img.pixelColor(x0, y0), c10 = img.pixelColor(x1, y0),
                     c01 = img.pixelColor(x0, y1), c11 = img.pixelColor(x1, y1);
        auto lerp2 = [&](double a, double b, double c, double d) {
            return (a * (1 - tx) + b * tx) * (1 - ty) + (c * (1 - tx) + d * tx) * ty;
        };
        out[0] = lerp2(c00.redF(), c10.redF(), c01.redF(), c11.redF());
        out[1] = lerp2(c00.greenF(), c10.greenF(), c01.greenF(), c11.greenF());
        out[2] = lerp2(c00.blueF(), c10.blueF(), c01.blueF(), c11.blueF());
        return out;
    };
}

// The bounding box of pixels far from the grey background, and the mean colour of
// the glyphs' cores (the pixels farthest from it, clear of anti-aliased edges).
struct Ink {
    QRect box;
    QColor mean;
};
Ink inkOf(const QImage &source)
{
    const QImage img = source.convertToFormat(QImage::Format_RGB888);
    Ink ink;
    double r = 0, g = 0, b = 0;
    int n = 0;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x) {
            const QColor c = img.pixelColor(x, y);
            const int away =
                std::abs(c.red() - 128) + std::abs(c.green() - 128) + std::abs(c.blue() - 128);
            if (away < 150)
                continue;
            ink.box = ink.box.united(QRect(x, y, 1, 1));
            if (away < 300)
                continue;
            r += c.red();
            g += c.green();
            b += c.blue();
            ++n;
        }
    if (n)
        ink.mean = QColor(int(r / n), int(g / n), int(b / n));
    return ink;
}

QImage fromReference(const std::function<reference::Rgba(double u, double v)> &pixel)
{
    QImage img(kW, kH, QImage::Format_RGB888);
    for (int y = 0; y < kH; ++y)
        for (int x = 0; x < kW; ++x) {
            const reference::Rgba c = pixel((x + 0.5) / kW, (y + 0.5) / kH);
            auto q = [](double v) { return std::clamp(int(std::lround(v * 255)), 0, 255); };
            img.setPixel(x, y, qRgb(q(c[0]), q(c[1]), q(c[2])));
        }
    return img;
}

} // namespace

class TestExportRender : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        registerRenderMetaTypes();
        // Smooth gradients: any shift, scale or turn changes the colours under a pixel.
        QVERIFY(
            fixtures::ffmpeg({"-f", "lavfi", "-i", "color=black:s=160x120", "-frames:v", "1", "-vf",
                              "geq=r='40+X*1.3':g='30+Y*1.6':b='200-X*0.6'", path("small.png")}));
        QVERIFY(
            fixtures::ffmpeg({"-f", "lavfi", "-i", "color=black:s=320x240", "-frames:v", "1", "-vf",
                              "geq=r='20+X*0.7':g='200-Y*0.6':b='60+Y*0.5'", path("from.png")}));
        QVERIFY(fixtures::ffmpeg({"-f", "lavfi", "-i", "color=black:s=320x240", "-frames:v", "1",
                                  "-vf", "geq=r='230-X*0.5':g='40+X*0.3+Y*0.3':b='220-Y*0.7'",
                                  path("to.png")}));
        QVERIFY(fixtures::ffmpeg({"-f", "lavfi", "-i", "color=c=0x808080:s=320x240", "-frames:v",
                                  "1", path("grey.png")}));
        m_rm = new RenderManager;
        QVERIFY(m_rm->init());
        m_export = fixtures::exporterOf(m_rm);
        m_rm->setSceneSize(kW, kH, true);
        m_export->manager()->setRevealWritten(false);
    }
    void cleanupTestCase() { delete m_rm; }
    void init()
    {
        zua::UndoController::instance()->reset();
        m_timeline = new TimeLineWidget;
        wireTimeline(m_rm, m_timeline, m_export);
    }
    void cleanup()
    {
        m_timeline->model()->clearAll();
        zua::UndoController::instance()->reset();
        delete m_timeline;
    }

    void geometryMatchesAFilterGraph_data()
    {
        // The picture (160 × 120, input 0) on black ([bg]); previewRect is centred on x, y
        // from the centre of the 320 × 240 frame, y down. Input 1 is a grey picture.
        QTest::addColumn<QRectF>("placement");
        QTest::addColumn<int>("fit");
        QTest::addColumn<QRect>("crop");
        QTest::addColumn<int>("rotate");
        QTest::addColumn<int>("transparency");
        QTest::addColumn<QString>("graph");
        QTest::addColumn<double>("minPsnr");
        const QRect whole(0, 0, 160, 120);
        // Placement and scaling only move and resample smooth gradients: 35 dB.
        QTest::newRow("placed") << QRectF(40, -30, 160, 120) << 1 << whole << 0 << 255
                                << "[bg][0:v]overlay=120:30:format=rgb" << 35.0;
        QTest::newRow("stretched")
            << QRectF(0, 0, 200, 80) << 0 << whole << 0 << 255
            << "[0:v]scale=200:80:flags=bilinear[p];[bg][p]overlay=60:80:format=rgb" << 35.0;
        QTest::newRow("fitted")
            << QRectF(0, 0, 200, 200) << 1 << whole << 0 << 255
            << "[0:v]scale=200:150:flags=bilinear[p];[bg][p]overlay=60:45:format=rgb" << 35.0;
        QTest::newRow("cropped") << QRectF(-20, 10, 160, 120) << 0 << QRect(40, 30, 80, 60) << 0
                                 << 255
                                 << "[0:v]crop=80:60:40:30,scale=160:120:flags=bilinear[p];[bg][p]"
                                    "overlay=60:70:format=rgb"
                                 << 35.0;
        // A turned picture resamples the gradient like a scaled one: 35 dB, away from its
        // sloped edges (see psnr).
        QTest::newRow("turned") << QRectF(0, 0, 160, 120) << 1 << whole << 30 << 255
                                << "[0:v]format=rgba,rotate=30*PI/180:c=black@0:ow=320:oh=240[p];"
                                   "[bg][p]overlay=0:0:format=rgb"
                                << 35.0;
        // 128/255 over grey: a blend of smooth colours, 35 dB.
        QTest::newRow("half transparent")
            << QRectF(0, 0, 160, 120) << 1 << whole << 0 << 128
            << "[0:v]format=rgba,colorchannelmixer=aa=0.502[p];[1:v][p]overlay=80:60:format=rgb"
            << 35.0;
    }
    void geometryMatchesAFilterGraph()
    {
        QFETCH(QRectF, placement);
        QFETCH(int, fit);
        QFETCH(QRect, crop);
        QFETCH(int, rotate);
        QFETCH(int, transparency);
        QFETCH(QString, graph);
        QFETCH(double, minPsnr);
        TimelineDocument *model = m_timeline->model();
        if (transparency < 255) { // a grey picture under it, full frame
            ClassifyItem *under = model->insertTrack(model->group(CT_PICTURE), 0, false);
            QVERIFY(picture("grey.png", under, 0, 30));
            under->clips().first()->setValue("zValue", bg::Value(int32_t(-100)), false, true);
            under->clips().first()->setValue("previewRect", bg::ValueQt(QRectF(0, 0, kW, kH)),
                                             false, true);
        }
        SourceItem *clip = picture("small.png", model->group(CT_PICTURE), 0, 30);
        QVERIFY(clip);
        clip->stretch = fit;
        clip->setValue("clipRect", bg::ValueQt(crop), false, true);
        clip->setValue("previewRect", bg::ValueQt(placement), false, true);
        clip->setValue("rotate", bg::Value(int32_t(rotate)), false, true);
        clip->setValue("transparent", bg::Value(int32_t(transparency)), false, true);
        const QString out = exportNow("geometry.mp4");
        QVERIFY(!out.isEmpty());
        const QImage ours = frameOf(out, 15);
        const QImage want = ffmpegPicture(
            {path("small.png"), path("grey.png")},
            graph.contains("[bg]") ? "color=black:s=320x240,format=rgb24[bg];" + graph : graph);
        QVERIFY(!ours.isNull());
        QVERIFY(!want.isNull());
        const double db = fixtures::psnr(ours, want, rotate != 0);
        qInfo("PSNR %.1f dB (at least %.0f)", db, minPsnr);
        QVERIFY2(db >= minPsnr, qPrintable(QString("%1 dB").arg(db, 0, 'f', 1)));
    }
    void transitionsMatchTheirFormulas_data()
    {
        QTest::addColumn<QString>("program");
        for (const QString &name : ShaderLibrary::transitionNames())
            QTest::newRow(qPrintable(name)) << name;
    }
    void transitionsMatchTheirFormulas()
    {
        QFETCH(QString, program);
        // Two full-frame pictures, 2 s each, joined by a 2000 ms transition: frames 30
        // to 90, so frames 45, 60 and 75 are progress 0.25, 0.5 and 0.75.
        TimelineDocument *model = m_timeline->model();
        ClassifyItem *track = model->group(CT_PICTURE);
        SourceItem *from = picture("from.png", track, 0, 60);
        SourceItem *to = picture("to.png", track, 60, 60);
        QVERIFY(from && to);
        for (SourceItem *clip : {from, to})
            clip->setValue("previewRect", bg::ValueQt(QRectF(0, 0, kW, kH)), false, true);
        QVERIFY(model->addTransition(program, from, to, 2000, 5, false));
        const QString out = exportNow("transition.mp4");
        QVERIFY(!out.isEmpty());
        const reference::Sampler f = sampler(QImage(path("from.png"))),
                                 t = sampler(QImage(path("to.png")));
        const std::string name = program.toStdString();
        // Hard-edged effects (bands, boxes, circles and ellipses, shades) lose a pixel's
        // width of detail at every edge to the 4:2:0 chroma: 28 dB; fades and the move,
        // whose only edge is straight, 33 dB.
        const bool soft = name.rfind("over_", 0) == 0 || name == "trans_move";
        const double minimum = soft ? 33.0 : 28.0;
        for (int frame : {45, 60, 75}) {
            const double p = (frame - 30) / 60.0;
            const QImage want = fromReference([&](double u, double v) {
                return reference::transition(name, u, v, p, double(kW) / kH, f, t);
            });
            const double db = fixtures::psnr(frameOf(out, frame), want);
            qInfo("%s at %.2f: PSNR %.1f dB (at least %.0f)", qPrintable(program), p, db, minimum);
            QVERIFY2(db >= minimum,
                     qPrintable(QString("%1 at %2: %3 dB").arg(program).arg(p).arg(db, 0, 'f', 1)));
        }
    }
    void colourControlsMatchTheirFormula()
    {
        TimelineDocument *model = m_timeline->model();
        SourceItem *clip = picture("from.png", model->group(CT_PICTURE), 0, 30);
        QVERIFY(clip);
        clip->setValue("previewRect", bg::ValueQt(QRectF(0, 0, kW, kH)), false, true);
        const QList<QPair<const char *, int>> controls{{"temperature", 20}, {"hue", -10},
                                                       {"bright", 15},      {"contrast", 10},
                                                       {"saturation", -20}, {"highlight", 5}};
        for (const auto &c : controls)
            clip->setValue(c.first, bg::Value(int32_t(c.second)), false, true);
        const QString out = exportNow("colour.mp4");
        QVERIFY(!out.isEmpty());
        // The clip's values reach the program as value ÷ 50 (brightness ÷ 100).
        reference::BaseParams k;
        k.temperature = 20 / 50.0;
        k.hue = -10 / 50.0;
        k.brightness = 15 / 100.0;
        k.contrast = 10 / 50.0;
        k.saturation = -20 / 50.0;
        k.highlight = 5 / 50.0;
        const reference::Sampler f = sampler(QImage(path("from.png")));
        const QImage want = fromReference([&](double u, double v) {
            reference::Rgba c = reference::base(f(u, v), k);
            for (int i = 0; i < 3; ++i)
                c[i] = std::clamp(c[i], 0.0, 1.0);
            return c;
        });
        // A smooth picture through a smooth formula: 35 dB.
        const double db = fixtures::psnr(frameOf(out, 10), want);
        qInfo("PSNR %.1f dB (at least 35)", db);
        QVERIFY2(db >= 35, qPrintable(QString("%1 dB").arg(db, 0, 'f', 1)));
    }
    void subtitleMatchesDrawtext()
    {
        // Yellow "Hello 你好", 28 px, 60 px below the centre, over grey; ffmpeg's drawtext
        // with the same font file, size and colour, centred on the same point.
        TimelineDocument *model = m_timeline->model();
        SourceItem *grey = picture("grey.png", model->group(CT_PICTURE), 0, 30);
        QVERIFY(grey);
        grey->setValue("previewRect", bg::ValueQt(QRectF(0, 0, kW, kH)), false, true);
        QFont font("WenQuanYi Micro Hei");
        font.setPixelSize(28);
        SourceItem *words = model->createClip(model->group(CT_SUBTITLE), CT_SUBTITLE, QString(), 0,
                                              QColor(Qt::yellow), font);
        QVERIFY(words);
        words->setValue("source", SourceData::sourceValue(words->track, 0, 30, 0), false, true);
        words->setValue("content", bg::Value(std::string("Hello 你好")), false, true);
        words->setValue("previewRect", bg::ValueQt(QRectF(0, 60, 300, 60)), false, true);
        const QString out = exportNow("subtitle.mp4");
        QVERIFY(!out.isEmpty());
        const QImage ours = frameOf(out, 15);
        const QImage want = ffmpegPicture(
            {path("grey.png")},
            "[0:v]drawtext=fontfile=/usr/share/fonts/truetype/wqy/wqy-microhei.ttc:"
            "text='Hello 你好':fontsize=28:fontcolor=yellow:x=(w-text_w)/2:y=h/2+60-text_h/2");
        QVERIFY(!ours.isNull() && !want.isNull());
        const Ink a = inkOf(ours), b = inkOf(want);
        qInfo() << "ink" << a.box << a.mean << "reference" << b.box << b.mean;
        QVERIFY(!b.box.isEmpty());
        // Same width and height of ink within 2 px, the same horizontal centre within
        // 2 px; vertically the editor centres the line (ascent + descent), drawtext the
        // glyphs, which may differ by a few pixels.
        QVERIFY(std::abs(a.box.width() - b.box.width()) <= 2);
        QVERIFY(std::abs(a.box.height() - b.box.height()) <= 2);
        QVERIFY(std::abs(a.box.center().x() - b.box.center().x()) <= 2);
        QVERIFY(std::abs(a.box.center().y() - b.box.center().y()) <= 4);
        QVERIFY(fixtures::sameColour(a.mean, b.mean, 24));
        // Outside the text the frame is the same grey; the glyph edges keep the figure
        // near 30 dB.
        const double db = fixtures::psnr(ours, want);
        qInfo("PSNR %.1f dB (at least 28)", db);
        QVERIFY(db >= 28);
    }

private:
    SourceItem *picture(const char *file, ClassifyItem *track, int64_t start, int64_t frames)
    {
        SourceItem *clip = m_timeline->model()->createClip(track, CT_PICTURE, path(file), start);
        if (clip)
            clip->setValue("source", SourceData::sourceValue(track, start, frames, 0), false, true);
        return clip;
    }
    QString exportNow(const QString &name)
    {
        MVParams p;
        p.path = m_dir.filePath(name);
        p.width = kW;
        p.height = kH;
        p.frameRate = 30;
        p.keyInterval = 30;
        p.replace = true; // rows export under one name
        return m_export->exportMovie(p) == int(ExportManager::Result::Written) ? p.path : QString();
    }
    QString path(const char *file) const { return m_dir.filePath(file); }
    QTemporaryDir m_dir;
    RenderManager *m_rm = nullptr;
    Exporter *m_export = nullptr; // a child of m_rm
    TimeLineWidget *m_timeline = nullptr;
};

QTEST_MAIN(TestExportRender)

#include "tst_exportrender.moc"
