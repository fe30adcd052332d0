// Projects at the edges: written by a newer release, damaged, cut short or hand-edited
// with numbers that make no sense. What can be read opens, the user is told what was
// left out or changed, and no save replaces the original file without their choice.
// Closing during an export asks; the part files of killed exports go at the next start.
#include "common/FileDialogs.h"
#include "common/MessageBox.h"
#include "main/CreateProjectDialog.h"
#include "main/ExportParamWidget.h"
#include "main/ExportParts.h"
#include "main/MainWindow.h"
#include "main/ProcessIdentity.h"
#include "main/ProjectDocument.h"
#include "main/ZuApp.h"
#include "menu/AbstractMenu.h"
#include "preview/PreviewWidget.h"
#include "preview/ZueDisplayWindow.h"
#include "render/RenderManager.h"
#include "render/export/ExportManager.h"
#include "render/export/Exporter.h"
#include "render/export/MVParams.h"
#include "resource/ResourceWidget.h"
#include "support/EnglishTestMain.h"
#include "support/Files.h"
#include "support/Typing.h"
#include "timeline/ClassifyItem.h"
#include "timeline/SourceItem.h"
#include "timeline/TimeLineGraphicsScene.h"
#include "timeline/TimeLineGraphicsView.h"
#include "timeline/TimelineDocument.h"

#include "bridge/UserSettings.h"
#include "common/ValueQt.h"
#include "undo/UndoController.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QImage>
#include <QProgressDialog>
#include <QScreen>
#include <QSpinBox>
#include <QTimer>
#include <QUndoStack>
#include <QtTest>

using fixtures::readFile;
using fixtures::writeFile;

namespace {

QList<int64_t> clipStarts(TimelineDocument *model)
{
    QList<int64_t> starts;
    for (SourceItem *clip : model->clips())
        starts << clip->start();
    return starts;
}

} // namespace

class TestProjectEdges : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        QVERIFY(ZuApp::instance()->init());
        MessageBox::setAnswerHook([this](const MessageSpec &box) {
            m_boxes << box;
            return m_answer;
        });
        FileDialogs::setHook([this](const QString &kind, const QString &proposed) {
            if (kind == "save")
                m_saveProposals << proposed;
            return QString(); // cancelled
        });
        // Five picture clips one after another, saved by the editor itself.
        QImage picture(64, 48, QImage::Format_RGB32);
        picture.fill(Qt::green);
        m_picture = m_dir.filePath("green.png");
        QVERIFY(picture.save(m_picture));
        ZuApp *app = ZuApp::instance();
        m_project = m_dir.filePath("five.zua2");
        app->document()->createProject(m_project, 640, 480, true);
        TimelineDocument *model = app->mainWindow()->timelineModel();
        for (int i = 0; i < 5; ++i)
            QVERIFY(model->createClip(model->group(CT_PICTURE), CT_PICTURE, m_picture, i * 600));
        QVERIFY(app->document()->saveProject(false, false, QString()));
        m_whole = readFile(m_project);
        QCOMPARE(m_whole.count("<sourceItem>"), 5);
    }
    void init()
    {
        zua::UndoController::instance()->setClean();
        m_answer = 0;
        m_boxes.clear();
        m_saveProposals.clear();
    }

    void whatCannotBeReadOpensAsACopy_data()
    {
        QTest::addColumn<QByteArray>("from");
        QTest::addColumn<QByteArray>("to");
        QTest::addColumn<int>("cutPercent"); // 0: the whole file
        QTest::addColumn<QList<int64_t>>("starts");
        QTest::addColumn<QString>("told"); // empty: opened as it is, nothing said
        const QList<int64_t> all{0, 600, 1200, 1800, 2400};
        QTest::newRow("whole") << QByteArray() << QByteArray() << 0 << all << QString();
        QTest::newRow("a newer element with children inside the first clip")
            << QByteArray("<sourceItem>")
            << QByteArray("<sourceItem><speedCurve><pt t=\"0\" v=\"2\"/></speedCurve>") << 0 << all
            << "Not understood and left out: speedCurve";
        QTest::newRow("a newer section of the project")
            << QByteArray("<Preview/>")
            << QByteArray("<Effects><chain><fx/></chain></Effects><Preview/>") << 0 << all
            << "Not understood and left out: Effects";
        QTest::newRow("written by a newer version")
            << QByteArray("Version=\"1.0.0\"") << QByteArray("Version=\"2.1.0\"") << 0 << all
            << "written by a newer version (2.1.0)";
        QTest::newRow("cut short") << QByteArray() << QByteArray() << 60
                                   << QList<int64_t>{0, 600, 1200} << "it ends too early";
        QTest::newRow("malformed in the fourth clip")
            << QByteArray("<start>1800</start>") << QByteArray("<start>1800</stat>") << 0
            << QList<int64_t>{0, 600, 1200} << "The file is damaged from line";
    }
    void whatCannotBeReadOpensAsACopy()
    {
        QFETCH(QByteArray, from);
        QFETCH(QByteArray, to);
        QFETCH(int, cutPercent);
        QFETCH(QList<int64_t>, starts);
        QFETCH(QString, told);
        QByteArray text = m_whole;
        if (!from.isEmpty()) {
            QVERIFY(text.contains(from));
            text.replace(text.indexOf(from), from.size(), to);
        }
        if (cutPercent)
            text.truncate(text.size() * cutPercent / 100);
        const QString path = writeFile(m_dir.filePath("edge.zua2"), text);
        ZuApp *app = ZuApp::instance();
        app->document()->openProject(path);
        TimelineDocument *model = app->mainWindow()->timelineModel();
        QCOMPARE(clipStarts(model), starts);
        if (told.isEmpty()) {
            QVERIFY(m_boxes.isEmpty());
            QVERIFY(!app->document()->needsLocation());
            return;
        }
        QCOMPARE(m_boxes.size(), 1);
        QVERIFY2(m_boxes[0].text.startsWith(
                     "Parts of edge.zua2 could not be read; it was opened as a copy"),
                 qPrintable(m_boxes[0].text));
        QVERIFY2(m_boxes[0].text.contains(told), qPrintable(m_boxes[0].text));
        // Saving and auto-saving leave the file as it was: Save asks where.
        zua::UndoController::instance()->stack()->resetClean();
        QVERIFY(app->document()->saveProject(true, false, QString()));
        QVERIFY(!app->document()->saveProject(false, false, QString()));
        QCOMPARE(m_saveProposals.size(), 1);
        QCOMPARE(readFile(path), text);
    }

    void nonsenseNumbersAreMadeSensibleAndNamed_data()
    {
        QTest::addColumn<QByteArray>("from");
        QTest::addColumn<QByteArray>("to");
        QTest::addColumn<QList<int64_t>>("starts");
        QTest::addColumn<QString>("told");
        QTest::newRow("negative start")
            << QByteArray("<start>600</start>") << QByteArray("<start>-40</start>")
            << QList<int64_t>{0, 500, 1200, 1800, 2400}
            << "its start -40 made no sense and is now 0";
        QTest::newRow("start not a number")
            << QByteArray("<start>1200</start>") << QByteArray("<start>nan</start>")
            << QList<int64_t>{0, 500, 1000, 1800, 2400} << "its start nan made no sense";
        QTest::newRow("start far beyond a day")
            << QByteArray("<start>2400</start>") << QByteArray("<start>1e308</start>")
            << QList<int64_t>{0, 600, 1200, 1800, 2592000} << "its start 1e308 made no sense";
        QTest::newRow("negative in-point")
            << QByteArray("<offset>0</offset>") << QByteArray("<offset>-3</offset>")
            << QList<int64_t>{0, 600, 1200, 1800, 2400} << "its in-point -3 made no sense";
        QTest::newRow("length zero")
            << QByteArray("<duration>500</duration>") << QByteArray("<duration>0</duration>")
            << QList<int64_t>{600, 1200, 1800, 2400} << "was left out: its length 0 makes no sense";
        QTest::newRow("length infinite")
            << QByteArray("<duration>500</duration>") << QByteArray("<duration>inf</duration>")
            << QList<int64_t>{600, 1200, 1800, 2400} << "its length inf makes no sense";
    }
    void nonsenseNumbersAreMadeSensibleAndNamed()
    {
        QFETCH(QByteArray, from);
        QFETCH(QByteArray, to);
        QFETCH(QList<int64_t>, starts);
        QFETCH(QString, told);
        QByteArray text = m_whole;
        QVERIFY(text.contains(from));
        text.replace(text.indexOf(from), from.size(), to);
        const QString path = writeFile(m_dir.filePath("odd.zua2"), text);
        ZuApp::instance()->document()->openProject(path);
        QCOMPARE(clipStarts(ZuApp::instance()->mainWindow()->timelineModel()), starts);
        QCOMPARE(m_boxes.size(), 1);
        QVERIFY2(m_boxes[0].text.contains("A clip of green.png"), qPrintable(m_boxes[0].text));
        QVERIFY2(m_boxes[0].text.contains(told), qPrintable(m_boxes[0].text));
        QVERIFY(ZuApp::instance()->document()->needsLocation());
    }

    void aLongLoadShowsProgressAndCanBeCancelled()
    {
        // 15,000 clips take more than a second: the progress shows, and Cancel brings
        // back the project that was open, as it was.
        ZuApp *app = ZuApp::instance();
        app->document()->openProject(m_project);
        const int from = m_whole.indexOf("<sourceItem>");
        const int to = m_whole.indexOf("</sourceItem>") + 13;
        QByteArray many;
        for (int i = 0; i < 15000; ++i)
            many += QByteArray(m_whole.mid(from, to - from))
                        .replace("<start>0</start>",
                                 "<start>" + QByteArray::number(i * 500) + "</start>");
        QByteArray text = m_whole;
        text.replace(from, to - from, many);
        const QString big = writeFile(m_dir.filePath("big.zua2"), text);
        int shownAt = -1;
        QTimer cancel;
        connect(&cancel, &QTimer::timeout, [&] {
            auto *progress = app->mainWindow()->findChild<QProgressDialog *>("loadProgress");
            if (progress && progress->isVisible() && shownAt < 0) {
                shownAt = progress->value();
                progress->cancel();
            }
        });
        cancel.start(20);
        QElapsedTimer clock;
        clock.start();
        app->document()->openProject(big);
        cancel.stop();
        QVERIFY2(shownAt >= 0, qPrintable(QString("no progress in %1 ms").arg(clock.elapsed())));
        QVERIFY(shownAt < 1000);
        QCOMPARE(app->document()->projectPath(), m_project);
        QCOMPARE(clipStarts(app->mainWindow()->timelineModel()),
                 (QList<int64_t>{0, 600, 1200, 1800, 2400}));
        QVERIFY(m_boxes.isEmpty());
    }
    void partsOfKilledExportsAreRemovedAtStart()
    {
        // Registered by writers that are gone: a part file, and a name that is no part
        // (never removed); one of this process, still being written; a user's file that
        // only looks like a part.
        const QString left = writeFile(m_dir.filePath(".film.Ab12Cd.part.mp4"), "half");
        const QString notAPart = writeFile(m_dir.filePath("film.mp4"), "a finished film");
        const QString mine = writeFile(m_dir.filePath(".live.Zz99Yy.part.mp4"), "being written");
        const QString users = writeFile(m_dir.filePath(".notes.Qw12Er.part.txt"), "mine");
        bg::UserSettings &settings = bg::UserSettings::instance();
        settings.set("exportParts/b0_p999999_t1", left.toStdString());
        settings.set("exportParts/b0_p999998_t1", notAPart.toStdString());
        settings.set(("exportParts/" + ProcessIdentity::self()).toStdString(), mine.toStdString());
        QCOMPARE(ExportParts::removeLeftovers(), 1);
        QVERIFY(!QFileInfo::exists(left));
        QCOMPARE(readFile(notAPart), QByteArray("a finished film"));
        QCOMPARE(readFile(mine), QByteArray("being written"));
        QCOMPARE(readFile(users), QByteArray("mine"));
        QCOMPARE(ExportParts::removeLeftovers(), 0); // the records of gone writers went too
        ExportParts::clear();
    }
    void thePanelFollowsTheClipPickedInThePicture()
    {
        // Two pictures side by side on two picture tracks, both on screen at frame 0.
        ZuApp *app = ZuApp::instance();
        app->document()->createProject(m_dir.filePath("two.zua2"), 640, 360, true);
        MainWindow *window = app->mainWindow();
        TimelineDocument *model = window->timelineModel();
        ClassifyItem *pictures = model->group(CT_PICTURE);
        ClassifyItem *upper = model->insertTrack(pictures, 0, false);
        SourceItem *left = model->createClip(pictures, CT_PICTURE, m_picture, 0);
        SourceItem *right = model->createClip(upper, CT_PICTURE, m_picture, 0);
        QVERIFY(left && right);
        left->setValue("previewRect", bg::ValueQt(QRectF(-160, 0, 200, 150)), false, true);
        right->setValue("previewRect", bg::ValueQt(QRectF(160, 0, 200, 150)), false, true);
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window));
        ZueDisplayWindow *display = window->previewWidget()->display();
        QVERIFY(QTest::qWaitForWindowExposed(display));
        // Window positions of scene points (the picture's centre is the origin).
        const QPointF origin = display->toScene(QPointF(0, 0));
        const double perPixel = display->toScene(QPointF(1, 0)).x() - origin.x();
        auto at = [&](double sceneX) {
            return QPoint(int((sceneX - origin.x()) / perPixel), int(-origin.y() / perPixel));
        };
        // The panel opens on the left picture from the timeline.
        model->scene()->clearSelection();
        left->setSelected(true);
        qobject_cast<TimeLineGraphicsScene *>(model->scene())
            ->showMenu(left, left->menuType(), 2, left->panelValues());
        ResourceWidget *resource = window->resourceWidget();
        QVERIFY(resource->showsMenu());
        auto *x = resource->menu(MENU_PICTURE)->findChild<QSpinBox *>("imageX");
        QVERIFY(x);
        QCOMPARE(x->value(), -160);
        // Picked in the picture, the right one is what the panel shows and edits.
        QTRY_VERIFY2_WITH_TIMEOUT(
            [&] {
                QTest::mouseClick(display, Qt::LeftButton, {}, at(160));
                return right->isSelected();
            }(),
            "the right picture never became selected", 5000);
        QTRY_COMPARE(x->value(), 160);
        fixtures::typeInto(x, "100");
        QCOMPARE(right->previewRect.x(), 100.0);
        QCOMPARE(left->previewRect.x(), -160.0);
        // And back to the left one.
        QTest::mouseClick(display, Qt::LeftButton, {}, at(-160));
        QTRY_COMPARE(x->value(), -160);
        QVERIFY(left->isSelected() && !right->isSelected());
        // A later picture on the left one's own track, shown once the playhead is there:
        // picked in the picture, it is the one the panel shows and edits.
        SourceItem *later = model->createClip(pictures, CT_PICTURE, m_picture, 600);
        later->setValue("previewRect", bg::ValueQt(QRectF(-160, 0, 200, 150)), false, true);
        model->scene()->clearSelection();
        left->setSelected(true);
        qobject_cast<TimeLineGraphicsScene *>(model->scene())
            ->showMenu(left, left->menuType(), 2, left->panelValues());
        QTest::mouseClick(display, Qt::LeftButton, {}, at(-160)); // the left one, selected
        QTRY_VERIFY(left->isSelected());
        window->timelineView()->slot_resetFrame(700, EDIT_NONE, true);
        QTRY_VERIFY2_WITH_TIMEOUT(
            [&] {
                QTest::mouseClick(display, Qt::LeftButton, {}, at(-160));
                return later->isSelected();
            }(),
            "the later picture never became selected", 5000);
        fixtures::typeInto(x, "-100");
        QCOMPARE(later->previewRect.x(), -100.0);
        QCOMPARE(left->previewRect.x(), -160.0);
        window->hide();
    }
    void openListsShowEveryEntry()
    {
        // The editor's export panel and new-project dialog: every entry of an open list
        // stands out from its background, not only the one under the pointer.
        ZuApp *app = ZuApp::instance();
        app->document()->openProject(m_project);
        MainWindow *window = app->mainWindow();
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window));
        window->on_pushButton_export_clicked();
        auto *panel = window->findChild<ExportParamWidget *>();
        QVERIFY(panel && panel->isVisible());
        // In English (the longer labels) every control is inside the panel, whole.
        QTRY_VERIFY(panel->isVisible() && panel->width() > 0);
        QStringList cut;
        for (QWidget *w : panel->findChildren<QWidget *>()) {
            if (!w->isVisible() || w->isWindow())
                continue;
            const QRect r(w->mapTo(panel, QPoint(0, 0)), w->size());
            const int least = std::min(w->minimumSizeHint().width(), w->maximumWidth());
            if (!panel->rect().contains(r) || w->width() < least)
                cut << w->objectName();
        }
        if (qEnvironmentVariableIsSet("ZU_SHOTS"))
            panel->grab().save(qEnvironmentVariable("ZU_SHOTS") + "/export-panel.png");
        QVERIFY2(cut.isEmpty(), qPrintable(cut.join(", ")));
        CreateProjectDialog dialog(window);
        dialog.show();
        QStringList unreadable;
        for (QWidget *host : {static_cast<QWidget *>(panel), static_cast<QWidget *>(&dialog)})
            for (QComboBox *box : host->findChildren<QComboBox *>()) {
                box->setEnabled(true);
                box->showPopup();
                QAbstractItemView *view = box->view();
                QVERIFY(QTest::qWaitForWindowExposed(view->window()));
                const QImage shot = view->viewport()->grab().toImage();
                for (int row = 0; row < box->count(); ++row) {
                    const QRect r = view->visualRect(view->model()->index(row, 0));
                    const QColor back = shot.pixelColor(r.left() + 1, r.top() + 1);
                    int contrasting = 0;
                    for (int y = r.top(); y <= r.bottom(); ++y)
                        for (int x = r.left(); x <= r.right(); ++x)
                            contrasting +=
                                std::abs(shot.pixelColor(x, y).lightness() - back.lightness()) > 80;
                    if (contrasting < 8)
                        unreadable << box->objectName() + ": " + box->itemText(row);
                }
                box->hidePopup();
            }
        panel->close();
        window->hide();
        QVERIFY2(unreadable.isEmpty(), qPrintable(unreadable.join(", ")));
    }
    void closingDuringAnExportAsks()
    {
        ZuApp *app = ZuApp::instance();
        app->document()->openProject(m_project);
        MainWindow *window = app->mainWindow();
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window));
        MVParams params;
        params.path = m_dir.filePath("film.mp4.out.mp4");
        params.width = 320;
        params.height = 240;
        params.frameRate = 30;
        params.keyInterval = 30;
        ExportManager *exports = app->exporter()->manager();
        exports->setRevealWritten(false);
        app->exporter()->startExport(params);
        QTRY_VERIFY(exports->isExporting());
        const QStringList parts =
            QDir(m_dir.path()).entryList({"*.part.mp4"}, QDir::Hidden | QDir::Files);
        QCOMPARE(parts.size(), 2); // this run's and the one registered above as still written
        // Keep exporting (the default): the window stays, the export goes on.
        m_answer = 1;
        QVERIFY(!window->close());
        QCOMPARE(m_boxes.size(), 1);
        QCOMPARE(m_boxes[0].defaultButton, 1);
        QVERIFY(exports->isExporting());
        // Stop and close: the export ends and leaves nothing behind.
        m_answer = 0;
        QVERIFY(window->close());
        QTRY_VERIFY(!exports->isExporting());
        QVERIFY(!QFileInfo::exists(params.path));
        QCOMPARE(QDir(m_dir.path()).entryList({"*.part.mp4"}, QDir::Hidden | QDir::Files),
                 QStringList{".live.Zz99Yy.part.mp4"});
    }

private:
    int m_answer = 0;
    QTemporaryDir m_dir;
    QString m_picture, m_project;
    QByteArray m_whole;
    QList<MessageSpec> m_boxes;
    QStringList m_saveProposals;
};

ZU_ENGLISH_TEST_MAIN(ZuApp, TestProjectEdges)

#include "tst_projectedges.moc"
