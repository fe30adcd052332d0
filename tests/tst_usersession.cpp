// A person's session in the editor's own window, driven through its controls by
// their names: materials added with the Add button, the video dropped at 2 s on the
// video row, moved from its panel (the preview shows it, Ctrl+Z puts it back),
// played with Space, saved with Ctrl+S, and read back with the values that were set;
// then a voice-over from a private sound server's sine microphone, ended with Space,
// and a second one still running when the work is closed, kept by Save.
#include "common/FileDialogs.h"
#include "common/MessageBox.h"
#include "main/Entry.h"
#include "main/MainWindow.h"
#include "main/ProjectDocument.h"
#include "main/ZuApp.h"
#include "preview/PreviewWidget.h"
#include "preview/ZueDisplayWindow.h"
#include "resource/MaterialItem.h"
#include "resource/MaterialView.h"
#include "resource/ResourceWidget.h"
#include "support/Files.h"
#include "support/MediaFixtures.h"
#include "support/SoundServer.h"
#include "support/Typing.h"
#include "timeline/ClassifyItem.h"
#include "timeline/SourceItem.h"
#include "timeline/TimeLineGraphicsView.h"
#include "timeline/TimeLineRuler.h"
#include "timeline/TimeLineWidget.h"
#include "timeline/TimelineDocument.h"
#include "timeline/ToolBarWidget.h"
#include "timeline/TrackRows.h"

#include "bridge/UserSettings.h"
#include "support/EnglishTestMain.h"
#include "undo/UndoController.h"

#include <QComboBox>
#include <QMimeData>
#include <QPushButton>
#include <QScreen>
#include <QSpinBox>
#include <QtTest>

namespace {

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

// What the preview's window shows, taken from the screen.
QImage previewShot(PreviewWidget *preview)
{
    ZueDisplayWindow *display = preview->display();
    const QPoint origin = display->mapToGlobal(QPoint(0, 0));
    return QGuiApplication::primaryScreen()
        ->grabWindow(0, origin.x(), origin.y(), display->width(), display->height())
        .toImage();
}

// The colours across the middle row of the picture the preview shows, at fifths.
QList<QColor> previewRow(PreviewWidget *preview, QRect picture)
{
    const QImage shot = previewShot(preview);
    QList<QColor> row;
    for (double f : {0.1, 0.3, 0.5, 0.7, 0.9})
        row << shot.pixelColor(picture.x() + int(f * picture.width()), shot.height() / 2);
    return row;
}

// Where the picture lies in the preview: the run of red and blue across its middle.
QRect pictureIn(PreviewWidget *preview)
{
    const QImage shot = previewShot(preview);
    int left = -1, right = -1;
    for (int x = 0; x < shot.width(); ++x) {
        const QColor c = shot.pixelColor(x, shot.height() / 2);
        if (isRed(c) || isBlue(c)) {
            left = left < 0 ? x : left;
            right = x;
        }
    }
    return left < 0 ? QRect() : QRect(left, 0, right - left + 1, shot.height());
}

QString describe(const QList<QColor> &row)
{
    QStringList names;
    for (const QColor &c : row)
        names << c.name();
    return names.join(' ');
}

void click(QWidget *parent, const char *name)
{
    auto *button = parent->findChild<QAbstractButton *>(QString::fromLatin1(name));
    QVERIFY2(button, name);
    QTest::mouseClick(button, Qt::LeftButton);
}

} // namespace

class TestUserSession : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        zuaFillAppInfo();
        QVERIFY(ZuApp::instance()->init());
        MessageBox::setAnswerHook([this](const MessageSpec &box) {
            m_boxes << box;
            if (m_whileAsking)
                m_whileAsking(); // what goes on while the box is open
            return 0;
        });
        FileDialogs::setHook([this](const QString &, const QString &) {
            return m_fileAnswers.isEmpty() ? QString() : m_fileAnswers.takeFirst();
        });
    }
    void firstProjectFromMaterialsToDiskAndBack()
    {
        // Red left half, blue right half: a move or a crop shows as colours changing place.
        const QString video = m_dir.filePath("halves.mp4"), song = m_dir.filePath("song.wav"),
                      logo = m_dir.filePath("logo.png"), project = m_dir.filePath("first.zua2");
        QVERIFY(fixtures::ffmpeg({"-f", "lavfi", "-i",
                                  "color=c=red:s=1280x720:r=30:d=4,drawbox=x=640:y=0:w=640:h=720:"
                                  "color=blue:t=fill",
                                  "-f", "lavfi", "-i", "sine=d=4", "-pix_fmt", "yuv420p",
                                  "-shortest", video}));
        QVERIFY(fixtures::ffmpeg({"-f", "lavfi", "-i", "sine=d=3", song}));
        QVERIFY(
            fixtures::ffmpeg({"-f", "lavfi", "-i", "testsrc2=s=96x72", "-frames:v", "1", logo}));

        ZuApp *app = ZuApp::instance();
        MainWindow *window = app->mainWindow();
        window->resize(1400, 900);
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window));
        QApplication::setActiveWindow(window); // no window manager gives focus here
        QTRY_COMPARE(QApplication::activeWindow(), window);
        app->document()->createProject(project, 1280, 720, true);

        // The Add button: the three files join the library in order, all usable.
        MaterialView *library = window->resourceWidget()->materialView();
        m_fileAnswers = QStringList{QStringList{video, song, logo}.join(QChar(0x0a))};
        click(window->resourceWidget(), "pushButton_add");
        QTRY_COMPARE(library->materials().size(), 3);
        auto libraryNames = [library] {
            QStringList names;
            for (const MaterialData &m : library->materials())
                names << m.name + (m.draggable ? "" : " (unusable)");
            return names;
        };
        QCOMPARE(libraryNames(), (QStringList{"halves.mp4", "song.wav", "logo.png"}));

        // Dragged to 2 s on the video row: one clip there, its whole length.
        TimeLineGraphicsView *view = window->timelineView();
        TimelineDocument *model = window->timelineModel();
        auto videoRow = [model] { // the group's first track, the group itself when it has none
            ClassifyItem *group = model->group(CT_VIDEO);
            return group->childCount() > 0 ? group->child(0) : group;
        };
        ClassifyItem *row = videoRow();
        const QPoint at =
            view->mapFromScene(QPointF(timeline::toScene(60) + 1, trackrows::top(row) + 10));
        std::unique_ptr<QMimeData> payload(MaterialItem::dragPayload(library->materials()[0]));
        QDragEnterEvent enter(at, Qt::CopyAction, payload.get(), Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(view->viewport(), &enter);
        QDropEvent drop(at, Qt::CopyAction, payload.get(), Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(view->viewport(), &drop);
        QTRY_COMPARE(row->clips().size(), 1);
        SourceItem *clip = row->clips()[0];
        QCOMPARE(clip->start(), int64_t(60));
        QCOMPARE(clip->duration(), int64_t(120)); // 4 s: frames 0 to 119

        // The playhead at 3 s by a click on the ruler above that frame.
        TimeLineRuler *ruler = window->timelineWidget()->ruler();
        const QPoint frame90 = ruler->mapFromGlobal(
            view->viewport()->mapToGlobal(view->mapFromScene(QPointF(timeline::toScene(90), 0))));
        QTest::mouseClick(ruler, Qt::LeftButton, {}, QPoint(frame90.x(), ruler->height() / 2));
        QCOMPARE(view->playheadFrame(), int64_t(90));
        PreviewWidget *preview = window->previewWidget();
        QTRY_VERIFY_WITH_TIMEOUT(pictureIn(preview).width() > 100, 10000);
        const QRect picture = pictureIn(preview);
        // One screen grab per look: the colours at the picture's left and right quarters.
        QList<QColor> seen;
        auto shows = [&](bool (*left)(const QColor &), bool (*right)(const QColor &)) {
            seen = previewRow(preview, picture);
            return left(seen[1]) && right(seen[3]);
        };
        QTRY_VERIFY2(shows(isRed, isBlue), qPrintable(describe(seen)));

        // A double click opens its panel; X typed as 640 moves the picture half a frame
        // right, and Ctrl+Z puts it back.
        QTest::mouseDClick(view->viewport(), Qt::LeftButton, {},
                           view->mapFromScene(clip->sceneBoundingRect().center()));
        QWidget *panel = window->resourceWidget()->findChild<QWidget *>("VideoMenu");
        QVERIFY(panel);
        QTRY_VERIFY(panel->isVisible());
        auto type = [panel](const char *name, const QString &value) {
            auto *box = panel->findChild<QSpinBox *>(QString::fromLatin1(name));
            QVERIFY2(box, name);
            box->setFocus();
            fixtures::typeInto(box, value);
        };
        type("videoX", "640");
        QCOMPARE(clip->previewRect.x(), 640.0);
        QTRY_VERIFY2(shows(isBlack, isRed), qPrintable(describe(seen)));
        view->setFocus();
        QTest::keyClick(window, Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(clip->previewRect.x(), 0.0);
        QTRY_VERIFY2(shows(isRed, isBlue), qPrintable(describe(seen)));
        type("videoY", "-100"); // kept, to be read back

        // Space plays from the playhead and pauses where it got to.
        view->setFocus();
        QTest::keyClick(window, Qt::Key_Space);
        QVERIFY(preview->isPlayChecked());
        QTRY_VERIFY(view->playheadFrame() > 95);
        QTest::keyClick(window, Qt::Key_Space);
        QVERIFY(!preview->isPlayChecked());

        // Ctrl+S writes the project; opened again it holds what was set.
        QTest::keyClick(window, Qt::Key_S, Qt::ControlModifier);
        QVERIFY(zua::UndoController::instance()->isClean());
        app->document()->createProject(m_dir.filePath("other.zua2"), 640, 480, true);
        QCOMPARE(videoRow()->clips().size(), 0);
        app->document()->openProject(project);
        QCOMPARE(app->document()->projectPath(), project);
        QCOMPARE(libraryNames(), (QStringList{"halves.mp4", "song.wav", "logo.png"}));
        row = videoRow();
        QCOMPARE(row->clips().size(), 1);
        clip = row->clips()[0];
        QCOMPARE(clip->path, video);
        QCOMPARE(clip->start(), int64_t(60));
        QCOMPARE(clip->duration(), int64_t(120)); // 4 s: frames 0 to 119
        QCOMPARE(clip->previewRect, QRectF(0, -100, 1280, 720));
        QVERIFY(m_boxes.isEmpty());
    }
    void voiceOverEndsWithSpaceAndIsKeptOnClose()
    {
        QVERIFY2(!fixtures::loadSineSource("voice", 440).isEmpty(), "run through with_pulse.sh");
        fixtures::pactl({"set-default-source", "voice"});
        bg::UserSettings::instance().set("mic.dir", m_dir.filePath("takes").toStdString());
        ZuApp *app = ZuApp::instance();
        MainWindow *window = app->mainWindow();
        const QString project = m_dir.filePath("dub.zua2");
        app->document()->createProject(project, 640, 360, true);
        ClassifyItem *dub = window->timelineModel()->group(CT_DUB);
        TimeLineGraphicsView *view = window->timelineView();
        auto *button = window->toolBar()->findChild<QPushButton *>("pushButton_audio");
        QVERIFY(button);

        // Dub, a second of the microphone, Space: one take on the dub row.
        QTest::mouseClick(button, Qt::LeftButton);
        QTRY_VERIFY(view->isRecording());
        QTRY_VERIFY_WITH_TIMEOUT(view->playheadFrame() >= 30, 5000);
        // The keyboard's focus is on a list that takes Space itself (a panel's font
        // size, say): during a take Space ends the take all the same.
        QComboBox *list = nullptr;
        for (QComboBox *box : window->findChildren<QComboBox *>())
            if (box->isVisible() && box->isEnabled() && !list)
                list = box;
        QVERIFY(list);
        list->setFocus();
        QTRY_COMPARE(QApplication::focusWidget(), list);
        QTest::keyClick(list, Qt::Key_Space);
        QTRY_VERIFY(!view->isRecording());
        QVERIFY(!QApplication::activePopupWidget());
        QTRY_COMPARE(dub->clips().size(), 1);
        QVERIFY(dub->clips()[0]->duration() >= 25);

        // Saved, a second take started, then the work closed: the take is ended and made a
        // clip first, the question comes, and Save keeps both takes in the project.
        QTest::keyClick(window, Qt::Key_S, Qt::ControlModifier);
        const int64_t secondFrom = view->playheadFrame();
        QTest::mouseClick(button, Qt::LeftButton);
        QTRY_VERIFY(view->isRecording());
        QTRY_VERIFY_WITH_TIMEOUT(view->playheadFrame() >= secondFrom + 15, 5000);
        m_boxes.clear();
        auto takes = [dub] {
            int n = dub->clips().size();
            for (int i = 0; i < dub->childCount(); ++i)
                n += dub->child(i)->clips().size();
            return n;
        };
        // The ended take becomes a clip while the question is on screen.
        bool madeWhileAsking = false;
        m_whileAsking = [&] {
            madeWhileAsking = QTest::qWaitFor([&] { return takes() == 2; }, 5000);
        };
        QVERIFY(app->document()->askSaveCurrent()); // the first answer, Save
        m_whileAsking = nullptr;
        QVERIFY(madeWhileAsking);
        QVERIFY(!view->isRecording());
        QCOMPARE(m_boxes.size(), 1);
        const QByteArray text = fixtures::readFile(project);
        QVERIFY2(text.count(m_dir.filePath("takes").toUtf8()) == 2, text.constData());
    }

private:
    QTemporaryDir m_dir;
    QStringList m_fileAnswers;
    QList<MessageSpec> m_boxes;
    std::function<void()> m_whileAsking;
};

ZU_ENGLISH_TEST_MAIN(ZuApp, TestUserSession)

#include "tst_usersession.moc"
