// The transition and sticker galleries: their tiles and order, the rows they are
// laid out in, a sticker's animation on hover, and drags the timeline understands.
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
    void rowsFollowTheViewWidth();
    void stickersFromTheFolderAndItsSubfolders();
    void hoverAnimatesAndLeavingShowsTheMiddleFrame();
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

void TestGalleries::rowsFollowTheViewWidth()
{
    // Tiles are 95 wide every 105 (times the display scale): 200 holds two, 305 three.
    const double s = QssManager::screenScale();
    TransitionView view;
    GalleryScene *scene = view.gallery();
    const auto items = tiles<TransitionItem>(scene);
    auto perRow = [&](double width) {
        scene->invalidateLayout();
        scene->layOut(int(width * s));
        int n = 0;
        while (n < items.size() && qFuzzyCompare(items[n]->pos().y(), items[0]->pos().y()))
            ++n;
        return n;
    };
    QCOMPARE(perRow(200), 2);
    QCOMPARE(perRow(305), 3);
    QVERIFY(std::abs(items[0]->pos().x() - 10 * s) < 1);
    QVERIFY(std::abs(items[1]->pos().x() - 115 * s) < 2);
    QVERIFY(std::abs(items[2]->pos().x() - 220 * s) < 3);
    QVERIFY(items[3]->pos().y() > items[0]->pos().y()); // the fourth opens the next row
    // The scene is as tall as its five rows.
    QVERIFY(scene->sceneRect().bottom() >= items.last()->pos().y() + 75 * s);
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

void TestGalleries::hoverAnimatesAndLeavingShowsTheMiddleFrame()
{
    GifView view;
    view.load(m_dir.filePath("gif"));
    GifItem *item = nullptr;
    for (GifItem *i : tiles<GifItem>(view.gallery()))
        if (i->path().endsWith("wave.gif"))
            item = i;
    QVERIFY(item);
    const QImage still = item->currentImage();
    QGraphicsSceneHoverEvent enter(QEvent::GraphicsSceneHoverEnter);
    view.gallery()->sendEvent(item, &enter);
    int changes = 0;
    QImage last = item->currentImage();
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < 1000) {
        QTest::qWait(10);
        if (item->currentImage() != last) {
            ++changes;
            last = item->currentImage();
        }
    }
    QVERIFY2(changes >= 6 && changes <= 12, qPrintable(QString::number(changes)));
    QGraphicsSceneHoverEvent leave(QEvent::GraphicsSceneHoverLeave);
    view.gallery()->sendEvent(item, &leave);
    QCOMPARE(item->currentImage(), still);
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
