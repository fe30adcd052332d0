// The material library: additions with duplicate and missing reports, undoable
// removal, thumbnails from the worker, and dropped files.
#include "common/MessageBox.h"
#include "common/ThumbnailCache.h"
#include "resource/MaterialItem.h"
#include "resource/MaterialManager.h"
#include "resource/MaterialScene.h"
#include "resource/MaterialView.h"
#include "resource/ResourceWidget.h"
#include "support/Files.h"
#include "support/MediaFixtures.h"

#include "support/EnglishTestMain.h"
#include "undo/UndoController.h"

#include <QApplication>
#include <QMimeData>
#include <QXmlStreamReader>
#include <QXmlStreamWriter>
#include <QtTest>

namespace {

const MaterialData *byName(const QList<MaterialData> &list, const QString &name)
{
    for (const MaterialData &m : list)
        if (m.name == name)
            return &m;
    return nullptr;
}

int attachedCount(const QList<MaterialData> &list)
{
    return int(
        std::count_if(list.begin(), list.end(), [](const MaterialData &m) { return m.attached; }));
}

} // namespace

class TestMaterials : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        m_video = m_dir.filePath("beach.mp4");
        m_picture = m_dir.filePath("logo.png");
        m_song = m_dir.filePath("song.wav");
        QVERIFY(fixtures::ffmpeg(
            {"-f", "lavfi", "-i", "testsrc2=s=320x240:d=2", "-pix_fmt", "yuv420p", m_video}));
        QVERIFY(fixtures::ffmpeg(
            {"-f", "lavfi", "-i", "testsrc2=s=64x48", "-frames:v", "1", m_picture}));
        QVERIFY(fixtures::ffmpeg({"-f", "lavfi", "-i", "sine=d=1", m_song}));
        MessageBox::setAnswerHook([this](const MessageSpec &box) {
            m_boxes << box;
            return 0;
        });
    }
    void init()
    {
        m_boxes.clear();
        m_widget = new ResourceWidget;
        m_widget->resize(600, 400);
        m_widget->show();
        m_view = m_widget->materialView();
    }
    void cleanup()
    {
        delete m_widget;
        zua::UndoController::instance()->reset();
    }
    void addingReportsDuplicatesAndMissingFiles()
    {
        QStringList missing;
        for (int i = 1; i <= 8; ++i)
            missing << m_dir.filePath(QString("gone%1.mp4").arg(i));
        m_view->manager()->AddMaterialFiles(
            QStringList{m_video, m_video, m_dir.filePath("old.rmvb"), m_dir.filePath("notes.txt")} +
                missing,
            false);
        const QList<MaterialData> list = m_view->materials();
        QCOMPARE(list.size(), 1); // the video once; the missing files are told, not added
        QVERIFY(byName(list, "beach.mp4")->draggable);
        QVERIFY(!byName(list, "beach.mp4")->archiveRecoverd);

        // Missing files first, then duplicates, each one box of at most six paths.
        QCOMPARE(m_boxes.size(), 2);
        QCOMPARE(m_boxes[0].titleKey, QString("material_view.Hint"));
        QVERIFY(m_boxes[0].text.contains("(6) " + missing[5] + "\n"));
        QVERIFY(!m_boxes[0].text.contains(missing[6]));
        QVERIFY(m_boxes[0].text.endsWith("..."));
        QVERIFY(m_boxes[0].text.contains("8"));
        QCOMPARE(MaterialView::reportText("material_view.AreadyExist", {m_video}), m_boxes[1].text);
        QVERIFY(m_boxes[1].text.contains("(1) " + m_video + "\n"));
        QVERIFY(!m_boxes[1].text.contains("..."));

        // Another spelling of the same file is still the same material.
        m_boxes.clear();
        m_view->manager()->AddMaterialFiles({m_dir.path() + "/./beach.mp4"}, false);
        QCOMPARE(m_view->materials().size(), 1);
        QCOMPARE(m_boxes.size(), 1);
    }
    void removalAndAdditionAreUndoable()
    {
        QSignalSpy counts(m_view, &MaterialView::sig_MaterialNumChanged);
        auto *undo = zua::UndoController::instance();
        m_view->manager()->AddMaterialFiles({m_video, m_song}, false);
        QCOMPARE(attachedCount(m_view->materials()), 2);
        QVERIFY(!m_widget->showsEmptyArea());
        const QString uuid = byName(m_view->materials(), "beach.mp4")->uuid;

        m_view->materialScene()->clearSelection();
        for (MaterialItem *tile : m_view->tiles())
            tile->setSelected(true);
        // A right press on a selected tile (opening the menu) keeps the whole selection.
        QWidget *viewport = m_view->viewport();
        const QPoint onTile =
            m_view->mapFromScene(m_view->tiles()[0]->sceneBoundingRect().center());
        QTest::mousePress(viewport, Qt::RightButton, {}, onTile);
        QTest::mouseRelease(viewport, Qt::RightButton, {}, onTile);
        for (MaterialItem *tile : m_view->tiles())
            QVERIFY(tile->isSelected());
        m_view->slot_removeMaterials(); // the confirmation box answers OK
        QCOMPARE(m_boxes.size(), 1);
        QVERIFY(m_boxes[0].text.contains("2"));
        QCOMPARE(attachedCount(m_view->materials()), 0);
        QVERIFY(m_widget->showsEmptyArea());
        QCOMPARE(counts.last().at(0).toInt(), 0);

        undo->undo(); // one step brings both back, with their identities
        QCOMPARE(attachedCount(m_view->materials()), 2);
        QCOMPARE(byName(m_view->materials(), "beach.mp4")->uuid, uuid);
        QVERIFY(!m_widget->showsEmptyArea());
        undo->undo(); // and the addition itself
        QCOMPARE(attachedCount(m_view->materials()), 0);
        QVERIFY(m_widget->showsEmptyArea());
        undo->redo();
        QCOMPARE(attachedCount(m_view->materials()), 2);

        // Nothing selected: the choose-first box and no change.
        m_boxes.clear();
        m_view->materialScene()->clearSelection();
        m_view->slot_removeMaterials();
        QCOMPARE(m_boxes.size(), 1);
        QCOMPARE(attachedCount(m_view->materials()), 2);
    }
    void thumbnailsArriveFromTheWorker()
    {
        const QString broken = fixtures::writeFile(m_dir.filePath("broken.mp4"), "not a movie");
        // Two files sharing a base name in different folders, and a picture lying where a
        // thumbnail named after a material's base name would go.
        QDir(m_dir.path()).mkpath("a");
        QDir(m_dir.path()).mkpath("b");
        const QString clipA = m_dir.filePath("a/clip.mp4"), clipB = m_dir.filePath("b/clip.png");
        QVERIFY(QFile::copy(m_video, clipA));
        QVERIFY(fixtures::ffmpeg(
            {"-f", "lavfi", "-i", "color=c=red:s=64x48", "-frames:v", "1", clipB}));
        const QString userPhoto = QDir::tempPath() + "/photo.png";
        QFile::remove(userPhoto);
        QVERIFY(QFile::copy(m_picture, userPhoto));
        const QByteArray userBytes = fixtures::readFile(userPhoto);
        m_view->manager()->AddMaterialFiles(
            {m_video, m_picture, m_song, broken, clipA, clipB, userPhoto}, false);
        // The call returns before the pictures exist; they fill in afterwards.
        QTRY_VERIFY_WITH_TIMEOUT(
            [this] {
                for (const MaterialData &m : m_view->materials())
                    if (m.preview.isNull())
                        return false;
                return true;
            }(),
            10000);
        const QList<MaterialData> list = m_view->materials();
        const QImage video = byName(list, "beach.mp4")->preview;
        QVERIFY(video.width() <= 100 && video.height() <= 80);
        QVERIFY(video.width() == 100 || video.height() == 80);
        // Thumbnails live in our cache folder, one per file, never beside the user's files.
        const QString thumb = ThumbnailCache::pathFor(m_video);
        QVERIFY(thumb.startsWith(ThumbnailCache::folder() + "/"));
        QVERIFY(QFile::exists(thumb));
        QVERIFY(ThumbnailCache::pathFor(clipA) != ThumbnailCache::pathFor(clipB));
        auto reddish = [](const QString &file) {
            const QColor c = QImage(file).pixelColor(10, 10);
            return c.red() > 230 && c.green() < 30 && c.blue() < 30;
        };
        QVERIFY(reddish(ThumbnailCache::pathFor(clipB)));
        QVERIFY(!reddish(ThumbnailCache::pathFor(clipA)));
        QCOMPARE(fixtures::readFile(userPhoto), userBytes);
        QVERIFY(!QFile::exists(QDir::tempPath() + "/beach.png"));
        QCOMPARE(byName(list, "logo.png")->preview.size(), QSize(100, 75));
        QCOMPARE(byName(list, "song.wav")->preview, QImage(":/image/res_music.png"));
        QVERIFY(!byName(list, "broken.mp4")); // refused, with the warning; no tile
        QCOMPARE(m_boxes.size(), 1);
        QVERIFY(m_boxes[0].text.contains(broken));
    }
    void everyReadableFileIsOffered_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("make"); // ffmpeg's encoding options
        QTest::addColumn<int>("type");
        const QString h264 = "-c:v libx264 -pix_fmt yuv420p";
        QTest::newRow("ts") << "tv.ts" << h264 << int(MT_Video);
        QTest::newRow("camcorder MTS") << "00001.MTS" << h264 + " -f mpegts" << int(MT_Video);
        QTest::newRow("m2ts") << "disc.m2ts" << h264 + " -f mpegts" << int(MT_Video);
        QTest::newRow("webm") << "web.webm"
                              << "-c:v libvpx -b:v 200k" << int(MT_Video);
        QTest::newRow("vob") << "dvd.vob"
                             << "-c:v mpeg2video" << int(MT_Video);
        QTest::newRow("mpeg") << "tv.mpeg"
                              << "-c:v mpeg2video" << int(MT_Video);
        QTest::newRow("upper-case MP4") << "PHONE.MP4" << h264 << int(MT_Video);
        QTest::newRow("flac") << "song.flac"
                              << "-vn" << int(MT_Music);
        QTest::newRow("ogg") << "song.ogg"
                             << "-vn -c:a libvorbis" << int(MT_Music);
        QTest::newRow("webp") << "shot.webp"
                              << "-frames:v 1" << int(MT_Image);
    }
    void everyReadableFileIsOffered()
    {
        QFETCH(QString, file);
        QFETCH(QString, make);
        QFETCH(int, type);
        const QString path = m_dir.filePath(file);
        const QString input = type == MT_Music ? "sine=d=1" : "testsrc2=s=160x120:d=1";
        QVERIFY(fixtures::ffmpeg(QStringList{"-f", "lavfi", "-i", input} + make.split(' ') +
                                 QStringList{path}));
        // The Add dialog's first filter shows it.
        const QString all = ResourceWidget::addFilter().section(";;", 0, 0);
        const QString patterns = all.section('(', 1).chopped(1);
        QVERIFY(QDir::match(patterns, file));
        // And the library takes it as what it is, readable.
        m_view->manager()->AddMaterialFiles({path}, false);
        const QList<MaterialData> list = m_view->materials();
        QCOMPARE(list.size(), 1);
        QCOMPARE(list[0].type, type);
        QVERIFY(list[0].draggable);
        QVERIFY(m_boxes.isEmpty());
    }
    void droppedFilesAreAdded()
    {
        // A project file dropped with a video is not opened; it is skipped as unsupported.
        QMimeData mime;
        mime.setUrls({QUrl::fromLocalFile(m_video), QUrl::fromLocalFile(m_dir.filePath("a.zua2"))});
        QDragEnterEvent enter(QPoint(20, 20), Qt::CopyAction, &mime, Qt::LeftButton,
                              Qt::NoModifier);
        QApplication::sendEvent(m_view->viewport(), &enter);
        QVERIFY(enter.isAccepted());
        QDropEvent drop(QPointF(20, 20), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(m_view->viewport(), &drop);
        QCOMPARE(m_view->materials().size(), 1);
        QCOMPARE(m_view->materials()[0].name, QString("beach.mp4"));

        // Text alone (a tile dragged within the editor) is no file drop.
        QMimeData text;
        text.setText("ZuAEdit");
        QDragEnterEvent other(QPoint(20, 20), Qt::CopyAction, &text, Qt::LeftButton,
                              Qt::NoModifier);
        QApplication::sendEvent(m_view->viewport(), &other);
        QVERIFY(!other.isAccepted());
    }

private:
    QTemporaryDir m_dir;
    QString m_video, m_picture, m_song;
    ResourceWidget *m_widget = nullptr;
    MaterialView *m_view = nullptr;
    QList<MessageSpec> m_boxes;
};

ZU_ENGLISH_TEST_MAIN(QApplication, TestMaterials)

#include "tst_materials.moc"
