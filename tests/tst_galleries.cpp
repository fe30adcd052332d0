// The transition and sticker galleries: their tiles and order, stickers from the
// shared folder and its subfolders, and drags the timeline understands.
#include "common/QssManager.h"
#include "common/ZuTransLator.h"
#include "resource/Galleries.h"
#include "support/MediaFixtures.h"
#include "timeline/DropPayload.h"

#include <QApplication>
#include <QGraphicsSceneHoverEvent>
#include <QMimeData>
#include <QtTest>

namespace {

template <class Item> QList<Item *> tiles(QGraphicsScene *scene)
{
    QList<Item *> out;
    for (QGraphicsItem *i : scene->items(Qt::AscendingOrder))
        if (auto *tile = dynamic_cast<Item *>(i))
            out << tile;
    return out;
}

} // namespace

class TestGalleries : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void transitionsInTableOrderWithThumbnails();
    void stickersFromTheFolderAndItsSubfolders();
    void dragsCarryWhatTheTimelineReads();

private:
    QTemporaryDir m_dir;
    std::unique_ptr<ZuTransLator> m_translator;
};

void TestGalleries::initTestCase()
{
    m_translator = std::make_unique<ZuTransLator>(QStringLiteral(":/language/en-Us-new.ini"));
    QApplication::installTranslator(m_translator.get());
    QDir(m_dir.path()).mkpath("gif/more");
    QVERIFY(fixtures::ffmpeg({"-f", "lavfi", "-i", "testsrc2=s=120x120:r=10:d=2", "-loop", "0",
                              m_dir.filePath("gif/wave.gif")}));
    QVERIFY(fixtures::ffmpeg({"-f", "lavfi", "-i", "testsrc=s=120x120:r=10:d=2", "-f", "gif",
                              m_dir.filePath("gif/more/LOUD.GIF")}));
    QFile(m_dir.filePath("gif/notes.txt")).open(QIODevice::WriteOnly);
}

void TestGalleries::transitionsInTableOrderWithThumbnails()
{
    TransitionView view;
    const auto items = tiles<TransitionItem>(view.gallery());
    QCOMPARE(items.size(), 14);
    QCOMPARE(items.first()->displayName(), QString("Band Wipe"));
    QCOMPARE(items.last()->displayName(), QString("Translation"));
    QCOMPARE(items.last()->program(), QString("trans_move"));
    // Every thumbnail was drawn at build time and is in the resources.
    for (const auto &entry : transitionImages())
        QVERIFY2(!QImage(entry.first).isNull(), qPrintable(entry.first));
}

void TestGalleries::stickersFromTheFolderAndItsSubfolders()
{
    GifView view;
    view.load(m_dir.filePath("gif"));
    const auto items = tiles<GifItem>(view.gallery());
    QCOMPARE(items.size(), 2);
    QStringList names;
    for (GifItem *item : items) {
        names << QFileInfo(item->path()).fileName();
        QCOMPARE(item->frameCount(), 11);
    }
    names.sort();
    QCOMPARE(names, QStringList({"LOUD.GIF", "wave.gif"}));
    view.load(m_dir.filePath("no such folder"));
    QVERIFY(tiles<GifItem>(view.gallery()).isEmpty());
}

void TestGalleries::dragsCarryWhatTheTimelineReads()
{
    std::unique_ptr<QMimeData> transition(
        galleryPayload(QStringLiteral("transition"), QStringLiteral("clip_box"), QImage()));
    QVERIFY(DropPayload::isOurs(transition.get()));
    DropPayload p = DropPayload::read(transition->data("data"));
    QCOMPARE(p.kind, DropPayload::Transition);
    QCOMPARE(p.transition, QString("clip_box"));
    std::unique_ptr<QMimeData> sticker(
        galleryPayload(QStringLiteral("gif"), QStringLiteral("/stickers/wave.gif"), QImage()));
    p = DropPayload::read(sticker->data("data"));
    QCOMPARE(p.kind, DropPayload::Gif);
    QCOMPARE(p.path, QString("/stickers/wave.gif"));
}

QTEST_MAIN(TestGalleries)
#include "tst_galleries.moc"
