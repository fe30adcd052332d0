// End to end with the real editor: the galleries. A transition dragged from its
// gallery onto the cut between two clips puts its markers there; shortening it in
// the transition panel narrows them. A sticker dragged onto the picture track shows
// in the preview and moves while the timeline plays.
#include "support/EditorProcess.h"
#include "support/MediaFixtures.h"

#include <QImage>
#include <QtTest>

#include <csignal>

namespace {

// Screen positions in the window the editor opens at the screen's corner.
const QPoint kTransitionPage(60, 109), kStickerPage(60, 148);
const QPoint kBack(38, 66); // the panel face's Back button, to the library
const QPoint kIrisBoxTile(293, 95), kFirstSticker(152, 99);
const QPoint kCut(270, 478);                  // 4 s on the video row
const int kMarkerY = 468;                     // the markers' band on the video row
const QPoint kPictureRow(150, 519);           // the picture row near the start
const QPoint kReplay(911, 339);               // the preview's replay button (plays from 0)
const QPoint kDurationBox(170, 169);          // the transition panel's duration box
const QRect kPictureMiddle(915, 158, 46, 46); // the middle of the preview's picture

// How wide the red transition markers are around the cut, in screen pixels.
int markerWidth(const QImage &shot)
{
    int n = 0;
    for (int x = kCut.x() - 150; x < kCut.x() + 150; ++x) {
        const QColor c = shot.pixelColor(x, kMarkerY);
        n += c.red() > 180 && c.green() < 80 && c.blue() < 80;
    }
    return n;
}

bool drag(const QPoint &from, const QPoint &to)
{
    QString steps;
    for (int i = 1; i <= 6; ++i)
        steps += QString("xdotool mousemove %1 %2; sleep 0.1; ")
                     .arg(from.x() + (to.x() - from.x()) * i / 6)
                     .arg(from.y() + (to.y() - from.y()) * i / 6);
    return fixtures::xdo(QString("xdotool mousemove %1 %2 mousedown 1; sleep 0.3; %3"
                                 "sleep 0.4; xdotool mouseup 1")
                             .arg(from.x())
                             .arg(from.y())
                             .arg(steps));
}

} // namespace

class TestGalleryEditor : public QObject {
    Q_OBJECT
private slots:
    void transitionAndStickerFromTheGalleries();
};

void TestGalleryEditor::transitionAndStickerFromTheGalleries()
{
    QTemporaryDir dir;
    const QString home = dir.path();
    // Green, not red: the clips' filmstrips must not look like the red markers.
    const QString green = home + "/green.mp4", blue = home + "/blue.mp4",
                  project = home + "/cut.zua2";
    QVERIFY(fixtures::ffmpeg(
        {"-f", "lavfi", "-i", "color=c=lime:s=1280x720:r=30:d=4", "-pix_fmt", "yuv420p", green}));
    QVERIFY(fixtures::ffmpeg(
        {"-f", "lavfi", "-i", "color=c=blue:s=1280x720:r=30:d=4", "-pix_fmt", "yuv420p", blue}));
    QFile f(project);
    QVERIFY(f.open(QIODevice::WriteOnly));
    auto clip = [](const QString &path, int start, const char *uuid) {
        return QString("<sourceItem><start>%1</start><duration>120</duration><offset>0</offset>"
                       "<path>%2</path><uuid>%3</uuid><previewRect>x: 0, y: 0, width: 1280, "
                       "height: 720</previewRect></sourceItem>")
            .arg(start)
            .arg(path, uuid);
    };
    f.write(QString("<VoVive Version=\"1.0.0\" Archived=\"0\"><Render><scene><width>1280</width>"
                    "<height>720</height></scene></Render><Resource/><Timeline><classify "
                    "type=\"2\" row=\"-1\">%1%2</classify></Timeline><Preview/></VoVive>")
                .arg(clip(green, 0, "{green}"), clip(blue, 120, "{blue}"))
                .toUtf8());
    f.close();

    QProcess editor;
    QVERIFY(fixtures::startEditor(editor, home, project));
    QCOMPARE(markerWidth(fixtures::screenShot()), 0);

    // The transition: dragged onto the cut, its markers appear around it.
    QVERIFY(fixtures::xdo(QString("xdotool mousemove %1 %2 click 1")
                              .arg(kTransitionPage.x())
                              .arg(kTransitionPage.y())));
    QTest::qWait(800);
    QVERIFY(drag(kIrisBoxTile, kCut));
    QTest::qWait(1500);
    const int wide = markerWidth(fixtures::screenShot());
    QVERIFY2(wide > 30, qPrintable(QString::number(wide)));

    // Its panel: 500 ms instead of the dropped length narrows the markers.
    QVERIFY(fixtures::xdo(QString("xdotool mousemove %1 %2 click --repeat 2 --delay 80 1")
                              .arg(kCut.x() - 6)
                              .arg(kMarkerY)));
    QTest::qWait(1000);
    QVERIFY(fixtures::xdo(QString("xdotool mousemove %1 %2 click --repeat 3 --delay 60 1 && "
                                  "xdotool type 500 && xdotool key Tab")
                              .arg(kDurationBox.x())
                              .arg(kDurationBox.y())));
    QTest::qWait(1500);
    const int narrow = markerWidth(fixtures::screenShot());
    QVERIFY2(narrow > 5 && narrow < wide / 2,
             qPrintable(QString("%1 then %2").arg(wide).arg(narrow)));

    // A sticker on the picture track (from 0.4 s for its 2 s): played from the start,
    // it shows over the green and moves.
    QVERIFY(
        fixtures::xdo(QString("xdotool mousemove %1 %2 click 1").arg(kBack.x()).arg(kBack.y())));
    QTest::qWait(500);
    QVERIFY(fixtures::xdo(
        QString("xdotool mousemove %1 %2 click 1").arg(kStickerPage.x()).arg(kStickerPage.y())));
    QTest::qWait(800);
    QVERIFY(drag(kFirstSticker, kPictureRow));
    QTest::qWait(2000);
    auto sticker = [](const QImage &shot) {
        QImage part = shot.copy(kPictureMiddle);
        int notGreen = 0;
        for (int y = 0; y < part.height(); ++y)
            for (int x = 0; x < part.width(); ++x) {
                const QColor c = part.pixelColor(x, y);
                notGreen += !(c.green() > 180 && c.red() < 80 && c.blue() < 80);
            }
        return std::make_pair(part, notGreen);
    };
    QVERIFY(fixtures::xdo(
        QString("xdotool mousemove %1 %2 click 1").arg(kReplay.x()).arg(kReplay.y())));
    QTest::qWait(700);
    // Over a second of play the sticker is seen, and seen to change.
    const auto first = sticker(fixtures::screenShot());
    QVERIFY2(first.second > 20, qPrintable(QString::number(first.second)));
    bool changed = false;
    for (int i = 0; i < 5 && !changed; ++i) {
        QTest::qWait(200);
        const auto next = sticker(fixtures::screenShot());
        changed = next.second > 20 && next.first != first.first; // still there, but moved
    }
    QVERIFY2(changed, "the sticker stands still while playing");

    ::kill(pid_t(editor.processId()), SIGKILL);
    editor.waitForFinished();
}

QTEST_GUILESS_MAIN(TestGalleryEditor)
#include "tst_galleryeditor.moc"
