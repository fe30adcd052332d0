// Proxies: made for footage too heavy to play, decoded by the preview and never by
// the export, made again when their file changes, kept within their disk space,
// gone when turned off; a clip's file replaced while it plays breaks nothing.
#include "common/MessageBox.h"
#include "main/SettingDialog.h"
#include "main/TimelineWiring.h"
#include "render/RenderManager.h"
#include "render/Transport.h"
#include "render/compose/PreviewLayers.h"
#include "render/compose/VideoDecoding.h"
#include "render/export/ExportManager.h"
#include "render/export/MVParams.h"
#include "render/player/PlayerManager.h"
#include "render/proxy/ProxyMaker.h"
#include "render/proxy/ProxyStore.h"
#include "support/EnglishTestMain.h"
#include "support/Exporting.h"
#include "support/MediaFixtures.h"
#include "support/Probe.h"
#include "support/SceneGrab.h"
#include "timeline/SourceItem.h"
#include "timeline/TimeLineGraphicsView.h"
#include "timeline/TimeLineWidget.h"
#include "timeline/TimelineDocument.h"
#include "undo/UndoController.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QLocale>
#include <QStandardPaths>
#include <QtTest>

namespace {

constexpr int kW = 1280, kH = 720;

// Frame `index` of `path` as ffmpeg shows it, scaled to the scene's size, as RGB.
QImage frameOf(const QString &path, int index)
{
    const QByteArray rgb = fixtures::decode(
        path, {"-vf", QString("select=eq(n\\,%1),scale=%2:%3").arg(index).arg(kW).arg(kH),
               "-frames:v", "1", "-f", "rawvideo", "-pix_fmt", "rgb24"});
    if (rgb.size() != kW * kH * 3)
        return QImage();
    return QImage(reinterpret_cast<const uchar *>(rgb.constData()), kW, kH, kW * 3,
                  QImage::Format_RGB888)
        .copy();
}

QStringList proxyFiles()
{
    return QDir(ProxyStore::folder()).entryList({"*.mp4"}, QDir::Files);
}

} // namespace

class TestProxies : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        registerRenderMetaTypes();
        MessageBox::setAnswerHook([](const MessageSpec &) { return 0; });
        // Fine detail, which a proxy's smaller picture cannot keep; tagged BT.709 so
        // that ffmpeg's reference pictures use the matrix the editor uses.
        QVERIFY(fixtures::ffmpeg({"-f", "lavfi", "-i",
                                  QString("testsrc2=s=%1x%2:r=30:d=2").arg(kW).arg(kH), "-vf",
                                  "scale=out_color_matrix=bt709", "-c:v", "libx264", "-crf", "16",
                                  "-pix_fmt", "yuv420p", "-colorspace", "bt709", "-color_primaries",
                                  "bt709", "-color_trc", "bt709", path("detail.mp4")}));
        m_rm = new RenderManager;
        QVERIFY(m_rm->init());
        m_export = fixtures::exporterOf(m_rm);
        m_rm->setSceneSize(kW, kH, true);
        m_export->manager()->setRevealWritten(false);
        m_maker = m_rm->proxyMaker();
        QCOMPARE(ProxyMaker::instance(), m_maker);
    }
    void cleanupTestCase() { delete m_rm; }
    void init()
    {
        zua::UndoController::instance()->reset();
        m_timeline = new TimeLineWidget;
        wireTimeline(m_rm, m_timeline, m_export);
        connect(m_timeline->view(), &TimeLineGraphicsView::sig_trackFrames, m_rm->layers(),
                &PreviewLayers::slot_trackFrames);
        m_timeline->model()->setRenderSize(QSize(kW, kH)); // clips placed at the project scale
        m_maker->setEnabled(true);
    }
    void cleanup()
    {
        m_rm->transport()->pause();
        m_timeline->model()->clearAll();
        zua::UndoController::instance()->reset();
        delete m_timeline;
    }

    void heavyFootageGetsAProxy_data()
    {
        QTest::addColumn<QString>("size");
        QTest::addColumn<QString>("encoder");
        QTest::addColumn<int>("rate");
        QTest::addColumn<bool>("heavy");
        QTest::newRow("4K HEVC") << "3840x2160"
                                 << "libx265" << 30 << true;
        QTest::newRow("4K at 60 fps") << "3840x2160"
                                      << "libx264" << 60 << true;
        QTest::newRow("4K H.264 at 30 fps") << "3840x2160"
                                            << "libx264" << 30 << false;
        QTest::newRow("HD HEVC") << "1920x1080"
                                 << "libx265" << 30 << false;
    }
    void heavyFootageGetsAProxy()
    {
        QFETCH(QString, size);
        QFETCH(QString, encoder);
        QFETCH(int, rate);
        QFETCH(bool, heavy);
        const QString file = path(QString("%1-%2-%3.mp4").arg(size, encoder).arg(rate));
        QVERIFY(fixtures::ffmpeg({"-f", "lavfi", "-i",
                                  QString("testsrc2=s=%1:r=%2:d=0.2").arg(size).arg(rate), "-c:v",
                                  encoder, "-preset", "ultrafast", "-pix_fmt", "yuv420p", file}));
        QCOMPARE(ProxyMaker::heavyFormat(file), heavy);
        if (!heavy)
            return; // whether a light file decodes in time depends on the machine
        QSignalSpy finished(m_maker, &ProxyMaker::sig_finished);
        m_maker->request(file);
        QTRY_VERIFY_WITH_TIMEOUT(!finished.isEmpty(), 180000);
        QCOMPARE(finished.last().at(1).toBool(), true);
        const QJsonObject v =
            fixtures::streamOf(fixtures::probe(ProxyStore::readyProxy(file)), "video");
        QCOMPARE(v["width"].toInt(), 960);
        QCOMPARE(v["height"].toInt(), 540);
        QCOMPARE(v["nb_read_frames"].toString().toInt(), 6); // 0.2 s at the timeline's 30 fps
    }

    void aProxyServesThePreviewNeverTheExport()
    {
        const QString source = path("detail.mp4");
        QSignalSpy progress(m_maker, &ProxyMaker::sig_progress);
        QSignalSpy finished(m_maker, &ProxyMaker::sig_finished);
        m_maker->request(source, ProxyMaker::Want::Always);
        QCOMPARE(m_maker->progressOf(source), 0); // shown as waiting at once
        QTRY_VERIFY_WITH_TIMEOUT(!finished.isEmpty(), 180000);
        QCOMPARE(finished.last().at(1).toBool(), true);
        QVERIFY(!progress.isEmpty());
        QCOMPARE(m_maker->progressOf(source), 100);
        const QString proxy = ProxyStore::readyProxy(source);
        QVERIFY(proxy.startsWith(QStandardPaths::writableLocation(QStandardPaths::CacheLocation)));
        const QJsonObject v = fixtures::streamOf(fixtures::probe(proxy), "video");
        QCOMPARE(v["width"].toInt(), 960);
        QCOMPARE(v["nb_read_frames"].toString().toInt(), 60);

        // The preview decodes the proxy: its pictures are the proxy's.
        VideoTaskManager preview;
        VideoFrameData r;
        r.decodeMask = DECODE_CURRENT;
        r.current.path = source;
        r.current.time = 15;
        r.current.width = kW;
        r.current.height = kH;
        DecodeFit fit;
        fit.useProxies = true;
        const QList<VFrameInfo> shown = preview.fetch(r, fit);
        QVERIFY(shown[0].frame);
        QCOMPARE(shown[0].frame->width, 960);
        const ff::VFrameCtx &f = *shown[0].frame;
        const QImage previewed =
            QImage(f.data(), f.width, f.height, f.stride, QImage::Format_RGBA8888)
                .scaled(kW, kH, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        QVERIFY(fixtures::psnr(previewed, frameOf(proxy, 15)) >
                fixtures::psnr(previewed, frameOf(source, 15)));

        // The export reads the original: its pictures match the original's, not the
        // proxy's.
        TimelineDocument *model = m_timeline->model();
        QVERIFY(model->createClip(model->group(CT_VIDEO), CT_VIDEO, source, 0));
        MVParams p;
        p.path = path("out.mp4");
        p.width = kW;
        p.height = kH;
        p.frameRate = 30;
        p.keyInterval = 30;
        QCOMPARE(m_export->exportMovie(p), int(ExportManager::Result::Written));
        const QImage exported = frameOf(p.path, 15);
        const double original = fixtures::psnr(exported, frameOf(source, 15));
        const double fromProxy = fixtures::psnr(exported, frameOf(proxy, 15));
        qInfo("export against the original %.1f dB, against the proxy %.1f dB", original,
              fromProxy);
        QVERIFY(original >= 33);
        QVERIFY(original > fromProxy + 3);
    }

    void aChangedFileGetsItsProxyMadeAgain()
    {
        const QString source = path("changing.mp4");
        QVERIFY(QFile::copy(path("detail.mp4"), source));
        QSignalSpy finished(m_maker, &ProxyMaker::sig_finished);
        m_maker->request(source, ProxyMaker::Want::Always);
        QTRY_VERIFY_WITH_TIMEOUT(!finished.isEmpty(), 180000);
        const QString before = ProxyStore::readyProxy(source);
        QVERIFY(!before.isEmpty());
        finished.clear();
        // The file is replaced by a shorter one: its old proxy no longer serves it,
        // and the new one is made without being asked.
        QVERIFY(fixtures::ffmpeg({"-f", "lavfi", "-i", "testsrc2=s=640x360:r=30:d=1", "-c:v",
                                  "libx264", "-pix_fmt", "yuv420p", path("shorter.mp4")}));
        QVERIFY(QFile::remove(source) && QFile::rename(path("shorter.mp4"), source));
        QVERIFY(ProxyStore::readyProxy(source).isEmpty());
        QTRY_VERIFY_WITH_TIMEOUT(!finished.isEmpty(), 180000);
        const QString after = ProxyStore::readyProxy(source);
        QVERIFY(!after.isEmpty() && after != before);
        QVERIFY(!QFile::exists(before));
        const QJsonObject v = fixtures::streamOf(fixtures::probe(after), "video");
        QCOMPARE(v["nb_read_frames"].toString().toInt(), 30);
        QCOMPARE(v["width"].toInt(), 640); // never made larger than its source
    }

    void proxiesTurnedOffAreRemoved()
    {
        const QString source = path("detail.mp4");
        QSignalSpy finished(m_maker, &ProxyMaker::sig_finished);
        m_maker->request(source, ProxyMaker::Want::Always);
        QTRY_VERIFY_WITH_TIMEOUT(ProxyStore::readyProxy(source) != QString(), 180000);
        SettingDialog dialog;
        auto *on = dialog.findChild<QCheckBox *>("checkBox_proxy");
        auto *use = dialog.findChild<QLabel *>("label_proxyUse");
        QVERIFY(on && use && on->isChecked());
        QVERIFY(use->text().contains(QLocale::system().formattedDataSize(
            ProxyStore::diskUse(), 2, QLocale::DataSizeTraditionalFormat)));
        on->setChecked(false);
        QVERIFY(!ProxyStore::enabled());
        QCOMPARE(proxyFiles(), QStringList());
        QCOMPARE(ProxyStore::diskUse(), 0);
        QVERIFY(use->text().contains(
            QLocale::system().formattedDataSize(0, 2, QLocale::DataSizeTraditionalFormat)));
        // Off, nothing is made, and the preview decodes the original.
        m_maker->request(source, ProxyMaker::Want::Always);
        QCOMPARE(m_maker->progressOf(source), -1);
        VideoTaskManager preview;
        VideoFrameData r;
        r.decodeMask = DECODE_CURRENT;
        r.current.path = source;
        r.current.width = kW;
        r.current.height = kH;
        DecodeFit fit;
        fit.useProxies = true;
        QCOMPARE(preview.fetch(r, fit)[0].frame->width, kW);
        on->setChecked(true);
        QVERIFY(ProxyStore::enabled());
    }

    void proxiesStayWithinTheirSpace()
    {
        ProxyStore::removeAll();
        ProxyStore::setLimitBytes(int64_t(100) << 20);
        QVERIFY(QDir().mkpath(ProxyStore::folder()));
        // Three proxies of 45 MB (sparse files), made one after the other.
        const QDateTime now = QDateTime::currentDateTime();
        for (int i = 0; i < 3; ++i) {
            QFile f(ProxyStore::folder() + QString("/old%1-00000000.mp4").arg(i));
            QVERIFY(f.open(QIODevice::WriteOnly) && f.resize(int64_t(45) << 20));
            QVERIFY(f.setFileTime(now.addSecs(i - 10), QFileDevice::FileModificationTime));
        }
        ProxyStore::trim();
        QVERIFY(ProxyStore::diskUse() <= int64_t(100) << 20);
        QCOMPARE(proxyFiles(), QStringList({"old1-00000000.mp4", "old2-00000000.mp4"}));
        ProxyStore::setLimitBytes(ProxyStore::kDefaultLimitBytes);
        ProxyStore::removeAll();
    }

    void aClipsFileReplacedWhilePlayingBreaksNothing()
    {
        const QString source = path("live.mp4");
        QVERIFY(fixtures::ffmpeg(
            {"-f", "lavfi", "-i", QString("testsrc2=s=%1x%2:r=30:d=6").arg(kW).arg(kH), "-c:v",
             "libx264", "-preset", "ultrafast", "-pix_fmt", "yuv420p", source}));
        m_maker->request(source, ProxyMaker::Want::Always);
        QTRY_VERIFY_WITH_TIMEOUT(ProxyStore::readyProxy(source) != QString(), 180000);
        TimelineDocument *model = m_timeline->model();
        QVERIFY(model->createClip(model->group(CT_VIDEO), CT_VIDEO, source, 0));
        m_timeline->view()->updateSceneWidth();
        QSignalSpy played(m_rm->playerManager(), &PlayerManager::sig_framePlayed);
        m_rm->transport()->play();
        QTRY_VERIFY_WITH_TIMEOUT(played.count() > 5, 5000);
        // Replaced by another file (renamed over it), then written over in place,
        // cut short, while it plays from its proxy and the proxy is made again.
        QVERIFY(fixtures::ffmpeg({"-f", "lavfi", "-i", "color=c=red:s=640x360:r=30:d=4", "-c:v",
                                  "libx264", "-pix_fmt", "yuv420p", path("other.mp4")}));
        QVERIFY(QFile::remove(source) && QFile::copy(path("other.mp4"), source));
        const qint64 swapped = played.last().at(0).toLongLong();
        QTRY_VERIFY_WITH_TIMEOUT(played.last().at(0).toLongLong() >= swapped + 10, 20000);
        QFile whole(path("detail.mp4"));
        QVERIFY(whole.open(QIODevice::ReadOnly));
        QFile over(source);
        QVERIFY(over.open(QIODevice::WriteOnly | QIODevice::Truncate));
        over.write(whole.read(whole.size() / 3));
        over.close();
        // Played on (how fast depends on the machine; that it goes on does not).
        const qint64 before = played.last().at(0).toLongLong();
        QTRY_VERIFY_WITH_TIMEOUT(played.last().at(0).toLongLong() >= before + 18, 20000);
        m_rm->transport()->pause();
        // Still pictures are asked for and answered after it.
        QSignalSpy still(m_timeline->view(), &TimeLineGraphicsView::sig_trackFrames);
        m_timeline->view()->slot_resetFrame(10, EDIT_NONE, true);
        QTRY_VERIFY(!still.isEmpty());
    }

private:
    QString path(const QString &name) const { return m_dir.filePath(name); }
    QTemporaryDir m_dir;
    RenderManager *m_rm = nullptr;
    Exporter *m_export = nullptr; // a child of m_rm
    ProxyMaker *m_maker = nullptr;
    TimeLineWidget *m_timeline = nullptr;
};

ZU_ENGLISH_TEST_MAIN(QApplication, TestProxies)

#include "tst_proxies.moc"
