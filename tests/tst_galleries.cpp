// Gallery drags carry what the timeline reads.
#include "resource/Galleries.h"
#include "timeline/DropPayload.h"

#include <QMimeData>
#include <QtTest>

class TestGalleries : public QObject {
    Q_OBJECT
private slots:
    void dragsCarryWhatTheTimelineReads()
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
};

QTEST_MAIN(TestGalleries)
#include "tst_galleries.moc"
