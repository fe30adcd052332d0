// End to end with the real editor: a clip's panel changes what the preview shows.
// A video whose left half is red and right half blue fills a 1280 × 720 project;
// moving it right in the panel leaves the left of the picture black, a quarter turn
// stands the halves on top of each other, the lowest saturation greys them, undo
// brings each back, and cropping to the right half in the crop editor leaves only blue.
#include "support/EditorProcess.h"
#include "support/MediaFixtures.h"

#include <QImage>
#include <QtTest>

#include <csignal>

namespace {

// The window opens at the screen's corner; these are its screen positions.
constexpr int kClipX = 180, kClipY = 478;       // the video clip on the timeline
constexpr int kPanelX = 265, kPanelY = 214;     // the panel's X box
constexpr int kCropTabX = 188, kCropTabY = 103; // the panel's crop tab
constexpr int kLeftEdgeX = 172, kEdgeY = 255;   // the crop frame's left handle
constexpr int kCropWidth = 281;                 // the crop editor's picture, on screen
const QRect kPicture(693, 44, 491, 275);        // the preview's picture

// The colour at a fraction of the preview's picture.
QColor at(const QImage &shot, double fx, double fy)
{
    return shot.pixelColor(kPicture.x() + int(fx * kPicture.width()),
                           kPicture.y() + int(fy * kPicture.height()));
}

bool isRed(const QColor &c)
{
    return c.red() > 180 && c.green() < 80 && c.blue() < 80;
}
bool isBlue(const QColor &c)
{
    return c.blue() > 180 && c.red() < 80 && c.green() < 80;
}
bool isBlack(const QColor &c)
{
    return c.red() < 40 && c.green() < 40 && c.blue() < 40;
}
bool isGrey(const QColor &c)
{
    // Red and blue lose their colour but keep their (different) lightness.
    return c.red() > 10 && qAbs(c.red() - c.green()) < 12 && qAbs(c.red() - c.blue()) < 12;
}
bool isOriginal(const QImage &shot)
{
    return isRed(at(shot, 0.2, 0.5)) && isBlue(at(shot, 0.8, 0.5));
}

// What the picture shows at five points across its middle (and the shot, kept
// for a look when a check fails).
QString describe(const QImage &shot)
{
    shot.save(QDir::temp().filePath("tst_paneleditor.png"));
    QStringList colours;
    for (double fx : {0.1, 0.3, 0.5, 0.7, 0.9})
        colours << at(shot, fx, 0.5).name();
    return "across the picture: " + colours.join(' ');
}

} // namespace

class TestPanelEditor : public QObject {
    Q_OBJECT
private slots:
    void panelEditsShowInThePreview();
};

void TestPanelEditor::panelEditsShowInThePreview()
{
    QTemporaryDir dir;
    const QString home = dir.path();
    const QString video = home + "/halves.mp4", project = home + "/halves.zua2";
    QVERIFY(fixtures::ffmpeg({"-f", "lavfi", "-i",
                              "color=c=red:s=1280x720:r=30:d=4,drawbox=x=640:y=0:w=640:h=720:"
                              "color=blue:t=fill",
                              "-pix_fmt", "yuv420p", video}));
    QFile f(project);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(
        QString("<VoVive Version=\"1.0.0\" Archived=\"0\"><Render><scene><width>1280</width>"
                "<height>720</height></scene></Render><Resource/><Timeline><classify type=\"2\" "
                "row=\"-1\"><sourceItem><start>0</start><duration>120</duration><offset>0"
                "</offset><path>%1</path><uuid>{halves}</uuid><previewRect>x: 0, y: 0, "
                "width: 1280, height: 720</previewRect></sourceItem></classify></Timeline>"
                "<Preview/></VoVive>")
            .arg(video)
            .toUtf8());
    f.close();

    QProcess editor;
    QVERIFY(fixtures::startEditor(editor, home, project));
    QImage shot = fixtures::screenShot();
    QVERIFY2(isOriginal(shot), qPrintable(describe(shot)));

    // Double click opens the panel; X = 640 moves the picture half a frame right.
    QVERIFY(fixtures::xdo(
        QString("xdotool mousemove %1 %2 click --repeat 2 --delay 80 1").arg(kClipX).arg(kClipY)));
    QTest::qWait(1000);
    QVERIFY(fixtures::xdo(QString("xdotool mousemove %1 %2 click --repeat 3 --delay 60 1 && "
                                  "xdotool type 640 && xdotool key Tab")
                              .arg(kPanelX)
                              .arg(kPanelY)));
    QTest::qWait(1500);
    shot = fixtures::screenShot();
    QVERIFY2(isBlack(at(shot, 0.2, 0.5)) && isRed(at(shot, 0.7, 0.5)), qPrintable(describe(shot)));

    // Undo puts it back.
    QVERIFY(fixtures::xdo("xdotool key ctrl+z"));
    QTest::qWait(1500);
    shot = fixtures::screenShot();
    QVERIFY2(isOriginal(shot), qPrintable(describe(shot)));

    // Tab walks from X through Y, width, height and transparency to the angle box,
    // then on through contrast, brightness, highlight, hue and temperature to
    // saturation; the panel scrolls each focused box into view, so it is wheeled
    // back to the top (over the labels, where the wheel changes no value) first.
    const auto typeAfterTabs = [&](int tabs, const char *value) {
        return fixtures::xdo(QString("xdotool mousemove 40 %2 click --repeat 10 4 && xdotool "
                                     "mousemove %1 %2 click 1 && xdotool key --delay 60 "
                                     "--repeat %3 Tab && xdotool type -- %4 && xdotool key Tab")
                                 .arg(kPanelX)
                                 .arg(kPanelY)
                                 .arg(tabs)
                                 .arg(value));
    };
    QVERIFY(typeAfterTabs(5, "90"));
    QTest::qWait(1500);
    shot = fixtures::screenShot();
    const QColor top = at(shot, 0.5, 0.2), bottom = at(shot, 0.5, 0.8);
    QVERIFY2(isBlack(at(shot, 0.1, 0.5)) && isBlack(at(shot, 0.9, 0.5)),
             qPrintable(describe(shot)));
    QVERIFY2((isRed(top) && isBlue(bottom)) || (isBlue(top) && isRed(bottom)),
             qPrintable(describe(shot) + " top " + top.name() + " bottom " + bottom.name()));
    QVERIFY(fixtures::xdo("xdotool key ctrl+z"));
    QTest::qWait(1500);
    shot = fixtures::screenShot();
    QVERIFY2(isOriginal(shot), qPrintable(describe(shot)));

    QVERIFY(typeAfterTabs(11, "-50"));
    QTest::qWait(1500);
    shot = fixtures::screenShot();
    QVERIFY2(isGrey(at(shot, 0.2, 0.5)) && isGrey(at(shot, 0.8, 0.5)), qPrintable(describe(shot)));
    QVERIFY(fixtures::xdo("xdotool key ctrl+z"));
    QTest::qWait(1500);
    shot = fixtures::screenShot();
    QVERIFY2(isOriginal(shot), qPrintable(describe(shot)));

    // The crop editor: the left edge dragged to the middle keeps the blue half only.
    QVERIFY(
        fixtures::xdo(QString("xdotool mousemove %1 %2 click 1").arg(kCropTabX).arg(kCropTabY)));
    QTest::qWait(1500);
    QVERIFY(fixtures::xdo(QString("xdotool mousemove %1 %2 mousedown 1 && sleep 0.2 && "
                                  "xdotool mousemove %3 %2 && sleep 0.2 && xdotool mousemove %4 %2 "
                                  "&& sleep 0.2 && xdotool mouseup 1")
                              .arg(kLeftEdgeX)
                              .arg(kEdgeY)
                              .arg(kLeftEdgeX + kCropWidth / 4)
                              .arg(kLeftEdgeX + kCropWidth / 2 + 2)));
    QTest::qWait(1500);
    shot = fixtures::screenShot();
    QVERIFY2(isBlue(at(shot, 0.5, 0.5)), qPrintable(describe(shot)));
    QVERIFY2(!isRed(at(shot, 0.35, 0.5)) && !isRed(at(shot, 0.65, 0.5)),
             qPrintable(describe(shot)));

    ::kill(pid_t(editor.processId()), SIGKILL);
    editor.waitForFinished();
}

QTEST_GUILESS_MAIN(TestPanelEditor)
#include "tst_paneleditor.moc"
