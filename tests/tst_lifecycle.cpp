// Project lifecycle: ask-to-save, saving and auto-saving, recovery, new projects,
// the create-project dialog, title messages and the icon-and-text button.
#include "common/CustomSpinBox.h"
#include "common/FileDialogs.h"
#include "common/MessageBox.h"
#include "common/Translate.h"
#include "main/CreateProjectDialog.h"
#include "main/Entry.h"
#include "main/MainWindow.h"
#include "main/ProjectDocument.h"
#include "main/ZuApp.h"
#include "preview/PreviewWidget.h"
#include "render/RenderManager.h"
#include "render/Transport.h"
#include "support/Files.h"
#include "support/FullDisk.h"
#include "timeline/ClassifyItem.h"
#include "timeline/TimeLineWidget.h"
#include "timeline/TimelineDocument.h"
#include "timeline/ToolBarWidget.h"

#include "bridge/Bridge.h"
#include "support/EnglishTestMain.h"
#include "undo/UndoController.h"
#include "undo/ZuObject.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QtTest>

using fixtures::readFile;
using fixtures::writeFile;

namespace {

class Edit : public zua::ZuObject {};

QString autoSaveSetting()
{
    return QString::fromStdString(bg::UserSettings::instance().get("autoSavePath", ""));
}

} // namespace

class TestLifecycle : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        zuaFillAppInfo();
        QVERIFY(ZuApp::instance()->init());
        installHooks();
    }
    void init()
    {
        m_boxes.clear();
        m_answers.clear();
        m_saveAnswers.clear();
        m_saveAsked = 0;
        m_duringBox = nullptr;
        zua::UndoController::instance()->reset();
        zua::UndoController::instance()->setClean();
        bg::UserSettings::instance().set("autoSavePath", "");
    }

    void askSaveAnswers_data()
    {
        QTest::addColumn<bool>("modified");
        QTest::addColumn<int>("answer");
        QTest::addColumn<bool>("result");
        QTest::addColumn<bool>("saved");
        QTest::addColumn<bool>("autoSaveKept");
        QTest::newRow("clean: no question") << false << -1 << true << false << false;
        QTest::newRow("save") << true << 0 << true << true << false;
        QTest::newRow("don't save") << true << 1 << true << false << false;
        QTest::newRow("cancel") << true << 2 << false << false << true;
        // Save chosen on a full disk: the window stays open, the box says why.
        QTest::newRow("save fails") << true << 3 << false << false << true;
    }
    void askSaveAnswers()
    {
        QFETCH(bool, modified);
        QFETCH(int, answer);
        QFETCH(bool, result);
        QFETCH(bool, saved);
        QFETCH(bool, autoSaveKept);
        ZuApp *app = ZuApp::instance();
        const QString project = m_dir.filePath("ask.zua2");
        writeFile(project, "<VoVive Version=\"1.0.0\"/>");
        app->document()->setProjectPath(project);
        const QString autoSave = ProjectDocument::autoSavePathFor(project);
        writeFile(autoSave, "<VoVive/>");
        bg::UserSettings::instance().set("autoSavePath", autoSave.toStdString());
        if (modified)
            dirty();
        const bool fullDisk = answer == 3;
        m_answers = {fullDisk ? 0 : answer};
        {
            std::unique_ptr<fixtures::FullDisk> full;
            if (fullDisk)
                full = std::make_unique<fixtures::FullDisk>(10);
            QCOMPARE(app->document()->askSaveCurrent(), result);
        }
        if (fullDisk) {
            QCOMPARE(m_boxes.size(), 2);
            QVERIFY2(m_boxes[1].text.contains("File too large"), qPrintable(m_boxes[1].text));
            m_boxes.removeLast();
        }
        QCOMPARE(m_boxes.size(), modified ? 1 : 0);
        if (modified) {
            QCOMPARE(m_boxes[0].text,
                     QString("The current project has been modified. Do you want to save it?"));
            QCOMPARE(m_boxes[0].buttonKeys,
                     QStringList({"MainWindow.Save", "titlebar.NoneSave", "titlebar.Cancel"}));
            QCOMPARE(m_boxes[0].escapeButton, 2);
        }
        QCOMPARE(readFile(project).contains("Archived"), saved);
        QCOMPARE(QFileInfo::exists(autoSave), autoSaveKept);
        QCOMPARE(autoSaveSetting().isEmpty(), !autoSaveKept);
        QCOMPARE(zua::UndoController::instance()->isClean(), !modified || saved);
    }
    void autoSaveWritesOnlyItsOwnFile()
    {
        ZuApp *app = ZuApp::instance();
        // The whole name without ".zua2": a dotted name never points at another project.
        const QString project = m_dir.filePath("keep.me.zua2");
        writeFile(project, "original");
        app->document()->setProjectPath(project);
        dirty();
        QSignalSpy names(app->document(), &ProjectDocument::sig_updateProjectName);
        QVERIFY(app->document()->saveProject(true, false, QString()));
        QCOMPARE(readFile(project), QByteArray("original"));
        const QString autoSave = m_dir.filePath("~temp_keep.me.zua2");
        QVERIFY(readFile(autoSave).startsWith("<VoVive"));
        QCOMPARE(autoSaveSetting(), autoSave);
        QCOMPARE(app->document()->projectPath(), project);
        QVERIFY(!zua::UndoController::instance()->isClean());
        QCOMPARE(names.size(), 0); // the title never shows the auto-save's own name
        QCOMPARE(m_saveAsked, 0);
    }
    void failedSavesAreToldAndKeepTheWork_data()
    {
        QTest::addColumn<bool>("autoSave");
        QTest::newRow("save the user asked for") << false;
        QTest::newRow("auto-save") << true;
    }
    void failedSavesAreToldAndKeepTheWork()
    {
        QFETCH(bool, autoSave);
        ZuApp *app = ZuApp::instance();
        const QString project = m_dir.filePath("full.zua2");
        writeFile(project, "original");
        app->document()->setProjectPath(project);
        dirty();
        const QString written = autoSave ? ProjectDocument::autoSavePathFor(project) : project;
        QFile::remove(ProjectDocument::autoSavePathFor(project));
        QSignalSpy names(app->document(), &ProjectDocument::sig_updateProjectName);
        auto notices = [&names] {
            int n = 0;
            for (const QList<QVariant> &args : names)
                n += args[0].toString().startsWith("Automatic save failed");
            return n;
        };
        {
            fixtures::FullDisk full(100);
            QVERIFY(!app->document()->saveProject(autoSave, false, QString()));
            if (autoSave) // told once, not at every attempt
                QVERIFY(!app->document()->saveProject(true, false, QString()));
        }
        QCOMPARE(readFile(project), QByteArray("original"));
        QVERIFY(!zua::UndoController::instance()->isClean());
        QVERIFY(QDir(m_dir.path()).entryList({"*.zua2.*"}, QDir::Files).isEmpty());
        if (autoSave) {
            QVERIFY(m_boxes.isEmpty()); // the work goes on undisturbed
            QCOMPARE(notices(), 1);
            QVERIFY(names.last()[0].toString().contains(QDir::toNativeSeparators(written)));
            QVERIFY(names.last()[0].toString().contains("File too large"));
            QVERIFY(!QFileInfo::exists(written));
            // With room again it works, and a later failure is told again.
            QVERIFY(app->document()->saveProject(true, false, QString()));
            QVERIFY(readFile(written).startsWith("<VoVive"));
            fixtures::FullDisk full(100);
            QVERIFY(!app->document()->saveProject(true, false, QString()));
            QCOMPARE(notices(), 2);
        } else {
            QCOMPARE(m_boxes.size(), 1);
            QVERIFY2(m_boxes[0].text.contains(QDir::toNativeSeparators(project)) &&
                         m_boxes[0].text.contains("File too large"),
                     qPrintable(m_boxes[0].text));
            // With room again the same save goes through.
            QVERIFY(app->document()->saveProject(false, false, QString()));
            QVERIFY(readFile(project).startsWith("<VoVive"));
            QVERIFY(zua::UndoController::instance()->isClean());
        }
        QFile::remove(ProjectDocument::autoSavePathFor(project));
    }
    void manualSaveOfUntitledAsksWhere()
    {
        ZuApp *app = ZuApp::instance();
        app->document()->setProjectPath(QDir::homePath() + "/zu_untitled_test");
        dirty();
        QVERIFY(app->document()->saveProject(true, false, QString())); // an auto-save exists
        const QString autoSave = ProjectDocument::autoSavePathFor(app->document()->projectPath());
        QVERIFY(QFileInfo::exists(autoSave));
        // Cancelled: nothing written, still modified, the auto-save and its setting kept.
        QVERIFY(!app->document()->saveProject(false, false, QString()));
        QCOMPARE(m_saveAsked, 1);
        QVERIFY(!zua::UndoController::instance()->isClean());
        QVERIFY(QFileInfo::exists(autoSave));
        QCOMPARE(autoSaveSetting(), autoSave);
        // Closing and choosing Save, then cancelling the location: the window stays open.
        m_answers = {0};
        QVERIFY(!app->document()->askSaveCurrent());
        QVERIFY(QFileInfo::exists(autoSave));
        // Answered without the suffix: it is added; from then on saved without asking, and
        // the auto-save is gone only now that the work is written.
        const QString target = m_dir.filePath("chosen.zua2");
        m_saveAnswers = QStringList{m_dir.filePath("chosen")};
        QVERIFY(app->document()->saveProject(false, false, QString()));
        QCOMPARE(app->document()->projectPath(), target);
        QVERIFY(!QFileInfo::exists(autoSave));
        QVERIFY(autoSaveSetting().isEmpty());
        QVERIFY(zua::UndoController::instance()->isClean());
        QVERIFY(readFile(target).startsWith("<VoVive Version=\"1.0.0\" Archived=\"0\">"));
        dirty();
        QVERIFY(app->document()->saveProject(false, false, QString()));
        QCOMPARE(m_saveAsked, 3);
    }
    void autoSaveWaitsForASaveInProgress()
    {
        // The timer fires while the location dialog of a save is open: no auto-save is
        // written and no setting comes back after the save cleared it.
        ZuApp *app = ZuApp::instance();
        app->document()->setProjectPath(QDir::homePath() + "/zu_waiting");
        dirty();
        const QString target = m_dir.filePath("waited.zua2");
        bool autoSaved = true;
        FileDialogs::setHook([&](const QString &, const QString &) {
            autoSaved = app->document()->saveProject(true, false, QString());
            return target;
        });
        QVERIFY(app->document()->saveProject(false, false, QString()));
        installHooks();
        QVERIFY(!autoSaved);
        QVERIFY(autoSaveSetting().isEmpty());
        QVERIFY(
            !QFileInfo::exists(ProjectDocument::autoSavePathFor(QDir::homePath() + "/zu_waiting")));
        QCOMPARE(app->document()->projectPath(), target);
    }
    void recoveryOfASavedProject_data()
    {
        QTest::addColumn<bool>("continueWork");
        QTest::newRow("continue") << true;
        QTest::newRow("discard") << false;
    }
    void recoveryOfASavedProject()
    {
        QFETCH(bool, continueWork);
        ZuApp *app = ZuApp::instance();
        const QString project = m_dir.filePath("film.zua2");
        const QString autoSave = m_dir.filePath("~temp_film.zua2");
        writeFile(project, "<VoVive><Render><scene><width>640</width><height>480</height></scene>"
                           "</Render></VoVive>");
        writeFile(autoSave, "<VoVive><Render><scene><width>1280</width><height>720</height></scene>"
                            "</Render></VoVive>");
        bg::UserSettings::instance().set("autoSavePath", autoSave.toStdString());
        const QByteArray saved = readFile(project);
        app->document()->recoverAutoSave(continueWork, autoSave);
        // The file the user saved stays as it is until they save again.
        QCOMPARE(readFile(project), saved);
        if (!continueWork) {
            QVERIFY(!QFileInfo::exists(autoSave));
            QVERIFY(autoSaveSetting().isEmpty());
            return;
        }
        // The recovered work is open as the project's changed version, its auto-save kept.
        QCOMPARE(app->document()->projectPath(), project);
        QCOMPARE(app->renderManager()->sceneWidth(), 1280u);
        QVERIFY(!zua::UndoController::instance()->isClean());
        QVERIFY(QFileInfo::exists(autoSave));
        QCOMPARE(autoSaveSetting(), autoSave);
        QVERIFY(app->document()->saveProject(false, false, QString()));
        QCOMPARE(m_saveAsked, 0);
        QVERIFY(readFile(project).contains("1280"));
        QVERIFY(!QFileInfo::exists(autoSave));
    }
    void recoveryOfAnUntitledProject()
    {
        // Untitled work comes back untitled and modified: closing asks to save, Save asks
        // where, and the auto-save stays until the work is written elsewhere.
        ZuApp *app = ZuApp::instance();
        const QString autoSave =
            ProjectDocument::autoSaveFolder() + "/~temp_zu_19990101_000000.zua2";
        writeFile(autoSave, "<VoVive><Render><scene><width>640</width><height>360</height></scene>"
                            "</Render></VoVive>");
        app->document()->recoverAutoSave(true, autoSave);
        QCOMPARE(app->renderManager()->sceneWidth(), 640u);
        QCOMPARE(QFileInfo(app->document()->projectPath()).fileName(),
                 QString("zu_19990101_000000.zua2"));
        QVERIFY(app->document()->needsLocation());
        QVERIFY(!zua::UndoController::instance()->isClean());
        QVERIFY(QFileInfo::exists(autoSave));
        const QString target = m_dir.filePath("recovered.zua2");
        m_saveAnswers = QStringList{target};
        QVERIFY(app->document()->saveProject(false, false, QString()));
        QCOMPARE(m_saveAsked, 1);
        QVERIFY(readFile(target).contains("640"));
        QVERIFY(!QFileInfo::exists(autoSave));
    }
    void autoSaveWaitsForLoadingAndRecovery()
    {
        ZuApp *app = ZuApp::instance();
        const QString pending = m_dir.filePath("~temp_pending.zua2");
        writeFile(pending, "<VoVive><Render><scene><width>800</width></scene></Render></VoVive>");
        bg::UserSettings::instance().set("autoSavePath", pending.toStdString());
        // An earlier run's work waits to be offered (its prompt may stay open for
        // minutes): this session's auto-save must not take its place.
        app->document()->setRecoveryPending(true);
        app->document()->setProjectPath(m_dir.filePath("blank.zua2"));
        dirty();
        QVERIFY(!app->document()->saveProject(true, false, QString()));
        QCOMPARE(autoSaveSetting(), pending);
        QVERIFY(
            !QFileInfo::exists(ProjectDocument::autoSavePathFor(app->document()->projectPath())));
        // Continuing asks about the current work first: the timer firing while that box is
        // open writes nothing.
        bool savedDuringPrompt = true;
        m_duringBox = [&] {
            savedDuringPrompt = app->document()->saveProject(true, false, QString());
        };
        m_answers = {1}; // don't save the current work
        app->document()->recoverAutoSave(true, pending);
        QCOMPARE(m_boxes.size(), 1);
        QVERIFY(!savedDuringPrompt);
        QCOMPARE(app->renderManager()->sceneWidth(), 800u);
        // Loaded: the auto-save works again.
        m_duringBox = nullptr;
        dirty();
        QVERIFY(app->document()->saveProject(true, false, QString()));
    }
    void damagedAutoSaveDestroysNothing()
    {
        ZuApp *app = ZuApp::instance();
        const QString project = m_dir.filePath("safe.zua2");
        const QString autoSave = m_dir.filePath("~temp_safe.zua2");
        const QByteArray good =
            "<VoVive><Render><scene><width>800</width></scene></Render></VoVive>";
        writeFile(project, good);
        writeFile(autoSave, "<VoVive><Render><scene><wid"); // cut short
        bg::UserSettings::instance().set("autoSavePath", autoSave.toStdString());
        app->document()->recoverAutoSave(true, autoSave);
        QCOMPARE(readFile(project), good);
        QCOMPARE(m_boxes.size(), 1);
        QCOMPARE(m_boxes[0].text,
                 QString("Invalid file (file could not be opened), failed to open "));
        QVERIFY(autoSaveSetting().isEmpty()); // the next start is normal
    }
    void openingAsksFirst()
    {
        ZuApp *app = ZuApp::instance();
        const QString current = m_dir.filePath("current.zua2");
        writeFile(current, "<VoVive/>");
        app->document()->setProjectPath(current);
        const QString other = m_dir.filePath("other.zua2");
        writeFile(other, "<VoVive/>");
        dirty();
        m_answers = {2}; // cancel
        app->document()->openProject(other);
        QCOMPARE(app->document()->projectPath(), current);
        m_answers = {1}; // don't save
        app->document()->openProject(other);
        QCOMPARE(app->document()->projectPath(), other);
        // An upper-case suffix does nothing beyond the question.
        dirty();
        m_answers = {1};
        app->document()->openProject(m_dir.filePath("OTHER.ZUA2"));
        QCOMPARE(m_boxes.size(), 3);
        QCOMPARE(app->document()->projectPath(), other);
    }
    void saveAsWritesElsewhereAndFollows()
    {
        ZuApp *app = ZuApp::instance();
        const QString first = m_dir.filePath("first.zua2");
        app->document()->createProject(first, 1280, 720, true);
        const QByteArray before = readFile(first);
        dirty();
        // Cancelled: nothing written, still modified.
        QVERIFY(!app->document()->saveProjectAs());
        QCOMPARE(m_saveAsked, 1);
        QVERIFY(!zua::UndoController::instance()->isClean());
        // Chosen by Ctrl+Shift+S: the new file holds the work, the old one stays, and the
        // project is now the new file (a later Ctrl+S writes there).
        const QString second = m_dir.filePath("second.zua2");
        m_saveAnswers = QStringList{second};
        MainWindow *window = app->mainWindow();
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window));
        QApplication::setActiveWindow(window);
        QTRY_COMPARE(QApplication::activeWindow(), window);
        QTest::keyClick(window, Qt::Key_S, Qt::ControlModifier | Qt::ShiftModifier);
        QCOMPARE(m_saveAsked, 2);
        QVERIFY(readFile(second).contains("<width>1280</width>"));
        QCOMPARE(readFile(first), before);
        QCOMPARE(app->document()->projectPath(), second);
        QVERIFY(zua::UndoController::instance()->isClean());
        window->hide();
    }
    void workWithoutItsOwnFileAsksWhere_data()
    {
        QTest::addColumn<bool>("imported");
        QTest::newRow("an imported older project") << true;
        QTest::newRow("a new project whose file could not be written") << false;
    }
    void workWithoutItsOwnFileAsksWhere()
    {
        // A file already has the name the project would get: the first save asks where
        // and never replaces it, and the auto-save does not go beside it.
        QFETCH(bool, imported);
        ZuApp *app = ZuApp::instance();
        QDir(m_dir.path()).mkpath("old");
        const QString unrelated = m_dir.filePath("old/film.zua2");
        writeFile(unrelated, "somebody else's file");
        if (imported) {
            writeFile(m_dir.filePath("old/film.zua"), "<RoRIVeziza/>");
            app->document()->openProject(m_dir.filePath("old/film.zua"));
        } else {
            app->document()->createProject(m_dir.filePath("old/missing/film.zua2"), 640, 480,
                                           false);
            QCOMPARE(m_boxes.size(), 1);
            QVERIFY(
                m_boxes[0].text.contains(QDir::toNativeSeparators(m_dir.filePath("old/missing"))));
            app->document()->setProjectPath(unrelated); // the name the next save would have taken
            app->document()->createProject(m_dir.filePath("old/missing/film.zua2"), 640, 480,
                                           false);
            QCOMPARE(app->document()->projectPath(), m_dir.filePath("old/missing/film.zua2"));
        }
        QVERIFY(app->document()->needsLocation());
        QVERIFY(app->document()
                    ->currentProjectPath()
                    .isEmpty()); // no archive of a file it does not have
        dirty();
        QVERIFY(app->document()->saveProject(true, false, QString()));
        QVERIFY(!QFileInfo::exists(m_dir.filePath("old/~temp_film.zua2")));
        QVERIFY(
            app->document()->currentAutoSavePath().startsWith(ProjectDocument::autoSaveFolder()));
        QVERIFY(!app->document()->saveProject(false, false, QString())); // asked, cancelled
        QCOMPARE(m_saveAsked, 1);
        QCOMPARE(readFile(unrelated), QByteArray("somebody else's file"));
        const QString chosen = m_dir.filePath("chosen.zua2");
        m_saveAnswers = QStringList{chosen};
        QVERIFY(app->document()->saveProject(false, false, QString()));
        QVERIFY(readFile(chosen).startsWith("<VoVive"));
        QCOMPARE(readFile(unrelated), QByteArray("somebody else's file"));
        QVERIFY(!app->document()->needsLocation());
        QVERIFY(!QFileInfo::exists(app->document()->currentAutoSavePath()));
    }
    void failedOpenKeepsTheProjectOpen()
    {
        // A file that is no project, or is gone: the open project stays as it was, with
        // its file and its content, so Ctrl+S writes it where it belongs.
        ZuApp *app = ZuApp::instance();
        const QString current = m_dir.filePath("kept.zua2");
        app->document()->createProject(current, 640, 480, false);
        TimelineDocument *model = app->mainWindow()->timelineModel();
        model->insertTrack(model->group(CT_AUDIO), 0, true);
        const int tracks = model->group(CT_AUDIO)->childCount();
        writeFile(m_dir.filePath("broken.zua2"), "not a project");
        writeFile(m_dir.filePath("broken.zua"), "<VoVive/>");
        for (const char *name : {"broken.zua2", "broken.zua", "gone.zua2"}) {
            m_answers = {1}; // don't save
            app->document()->openProject(m_dir.filePath(name));
            QCOMPARE(app->document()->projectPath(), current);
            QVERIFY(!app->document()->needsLocation());
            QCOMPARE(model->group(CT_AUDIO)->childCount(), tracks);
        }
    }
    void aHandedOverProjectWaitsUntilTheUserIsFree()
    {
        // A second launch asks to open a project while a dialog is open (an export's
        // progress, a question): it opens once the dialog is gone, not under it.
        ZuApp *app = ZuApp::instance();
        const QString current = m_dir.filePath("working.zua2");
        app->document()->createProject(current, 640, 480, false);
        const QString handed = m_dir.filePath("handed.zua2");
        writeFile(handed, "<VoVive/>");
        QDialog dialog;
        QString duringDialog;
        QTimer::singleShot(0, &dialog, [&] {
            app->handOver("open:" + handed.toUtf8());
            QTest::qWait(800);
            duringDialog = app->document()->projectPath();
            dialog.accept();
        });
        dialog.exec();
        QCOMPARE(duringDialog, current);
        QTRY_COMPARE(app->document()->projectPath(), handed);
        // Anything but a project file is not opened (a real file, not a missing one).
        writeFile(m_dir.filePath("notes.txt"), "<VoVive/>");
        app->handOver("open:" + m_dir.filePath("notes.txt").toUtf8());
        app->handOver("raise");
        QTest::qWait(600);
        QCOMPARE(app->document()->projectPath(), handed);
    }

    void dialogRefusals_data()
    {
        QTest::addColumn<QString>("folder");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("told");
        QTest::addColumn<bool>("staysOpen");
        const QString special("Names cannot contain special characters: \\/:*?\"<>|\uFF1F");
        for (const QString bad : {"a/b", "what?", "full\uFF1Fwidth", "x|y", "q\"uote"})
            QTest::newRow(qPrintable(bad)) << QString() << bad << special << true;
        QTest::newRow("missing folder")
            << "missing"
            << "ok"
            << "If the current directory does not exist, please switch the directory and try again"
            << true;
        // A file in place of a folder: reported, and the dialog closes without a project.
        QTest::newRow("a file for a folder") << "plainfile"
                                             << "ok"
                                             << "The following path does not exist: \n"
                                             << false;
    }
    void dialogRefusals()
    {
        QFETCH(QString, folder);
        QFETCH(QString, name);
        QFETCH(QString, told);
        QFETCH(bool, staysOpen);
        writeFile(m_dir.filePath("plainfile"), "x");
        const QString before = ZuApp::instance()->document()->projectPath();
        CreateProjectDialog dialog;
        dialog.show();
        dialog.findChild<QLineEdit *>("lineEdit_path")->setText(m_dir.filePath(folder));
        dialog.findChild<QLineEdit *>("lineEdit_name")->setText(name);
        dialog.on_pushButton_create_clicked();
        QCOMPARE(m_boxes.size(), 1);
        QVERIFY2(m_boxes[0].text.startsWith(told), qPrintable(m_boxes[0].text));
        QCOMPARE(dialog.isVisible(), staysOpen);
        QCOMPARE(ZuApp::instance()->document()->projectPath(), before);
        QVERIFY(!QFileInfo::exists(m_dir.filePath(name + ".zua2")));
    }
    void dialogAsksBeforeOverwriting()
    {
        const QString existing = m_dir.filePath("taken.zua2");
        writeFile(existing, "keep me");
        // A user's file with the name a write probe might take stays as it is.
        const QString usersFile = m_dir.filePath("ZuTestFile.txt");
        writeFile(usersFile, "my notes");
        CreateProjectDialog dialog;
        dialog.show();
        dialog.findChild<QLineEdit *>("lineEdit_path")->setText(m_dir.path());
        dialog.findChild<QLineEdit *>("lineEdit_name")->setText("taken");
        m_answers = {1}; // cancel
        dialog.on_pushButton_create_clicked();
        QCOMPARE(m_boxes.size(), 1);
        // In plain words, naming the file and its folder; Enter (the default) cancels.
        QCOMPARE(m_boxes[0].text, QString("taken.zua2 already exists in %1. Replace it with an "
                                          "empty project?")
                                      .arg(QDir::toNativeSeparators(m_dir.path())));
        QCOMPARE(m_boxes[0].buttonKeys,
                 QStringList({"newprojectdialog.Replace", "newprojectdialog.Cancel"}));
        QCOMPARE(m_boxes[0].defaultButton, 1);
        QCOMPARE(readFile(existing), QByteArray("keep me"));
        QVERIFY(dialog.isVisible());
        QCOMPARE(readFile(usersFile), QByteArray("my notes"));
        QCOMPARE(QDir(m_dir.path()).entryList({"ZuTestFile*"}), QStringList{"ZuTestFile.txt"});
        m_answers = {0}; // replace
        dialog.on_pushButton_create_clicked();
        QVERIFY(readFile(existing).startsWith("<VoVive"));
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
    }
    void quickExportToggleAndMissingCompanion()
    {
        // The companion program is not installed: the option is not offered.
        const QString companion = CreateProjectDialog::quickExportProgram();
        QFile::remove(companion);
        CreateProjectDialog dialog;
        dialog.show();
        auto *single = dialog.findChild<QCheckBox *>("checkBox_single");
        QVERIFY(single->isHidden());
        QVERIFY(dialog.findChild<QLabel *>("label_single")->isHidden());
        dialog.hide();

        // Installed: offered; ticking it turns the project settings off.
        writeFile(companion, "#!/bin/sh\nexit 0\n");
        QFile::setPermissions(companion, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        dialog.show();
        QVERIFY(!single->isHidden());
        single->setChecked(true);
        QVERIFY(!dialog.findChild<QLineEdit *>("lineEdit_name")->isEnabled());

        // It starts, and the editor closes the normal way, asking to save the modified
        // work first (cancelled here, so the editor stays).
        single->setChecked(true);
        dirty();
        m_answers = {2};
        dialog.on_pushButton_create_clicked();
        QFile::remove(companion);
        QTRY_COMPARE(m_boxes.size(), 1);
        QCOMPARE(m_boxes[0].text,
                 QString("The current project has been modified. Do you want to save it?"));
        QVERIFY(!zua::UndoController::instance()->isClean()); // nothing lost
    }

    void titleShowsTheNameAndUnsavedWork()
    {
        ZuApp *app = ZuApp::instance();
        MainWindow *window = app->mainWindow();
        const QString project = m_dir.filePath("holiday.zua2");
        zua::UndoController::instance()->setClean();
        app->document()->createProject(project, 1280, 720, true);
        QTRY_COMPARE_WITH_TIMEOUT(window->titleText(), QString("holiday"), 1500); // after "created"
        dirty();
        QCOMPARE(window->titleText(), QString("holiday*"));
        // The auto-save keeps the work marked and says nothing.
        QVERIFY(app->document()->saveProject(true, false, QString()));
        QCOMPARE(window->titleText(), QString("holiday*"));
        QVERIFY(app->document()->saveProject(false, false, QString()));
        QCOMPARE(window->titleText(), QString("holiday.zua2「Saved」"));
        // A newer message replaces the first; a second later the name is back, unmarked.
        window->slot_updateProjectName("second message", false);
        QCOMPARE(window->titleText(), QString("second message"));
        QTRY_COMPARE_WITH_TIMEOUT(window->titleText(), QString("holiday"), 1500);
        QVERIFY(zua::UndoController::instance()->undo());
        QCOMPARE(window->titleText(), QString("holiday*"));
        zua::UndoController::instance()->markUnrecordedChange();
        QVERIFY(
            zua::UndoController::instance()->redo()); // back where it was saved, but a slider moved
        QCOMPARE(window->titleText(), QString("holiday*"));
        window->slot_updateProjectName(QString(300, 'x'), true);
        QVERIFY(window->titleText().endsWith(QChar(0x2026)));
        QVERIFY(app->document()->saveProject(false, false, QString())); // saved: nothing left over
        QVERIFY(zua::UndoController::instance()->isClean());
    }
    void shortcutsReachTheirTargets()
    {
        MainWindow *window = ZuApp::instance()->mainWindow();
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window));
        QApplication::setActiveWindow(window); // no window manager gives focus here
        QTRY_COMPARE(QApplication::activeWindow(), window);
        PreviewWidget *preview = window->previewWidget();
        ToolBarWidget *bar = window->toolBar();
        QSignalSpy front(preview, &PreviewWidget::sig_toolButtonFront);
        QSignalSpy back(preview, &PreviewWidget::sig_toolButtonBack);
        QSignalSpy replay(preview, &PreviewWidget::sig_toolButtonReplay);
        QSignalSpy split(bar, &ToolBarWidget::sig_pushButtonSplit);
        QTest::keyClick(window, Qt::Key_Right);
        QTest::keyClick(window, Qt::Key_Left);
        QTest::keyClick(window, Qt::Key_B, Qt::ControlModifier);
        QCOMPARE(front.size(), 1);
        QCOMPARE(back.size(), 1);
        QCOMPARE(split.size(), 1);

        // Ctrl+Return replays from the start (Space and Ctrl+Z: the session test).
        QTest::keyClick(window, Qt::Key_Return, Qt::ControlModifier);
        QCOMPARE(replay.size(), 1);
        ZuApp::instance()->renderManager()->transport()->pause();
        QVERIFY(!preview->isPlayChecked()); // the button shows the transport

        // A focused control keeps its keys: Space ticks a box, the arrows move a slider;
        // nothing plays or steps. Ctrl keys still reach the window.
        {
            QCheckBox box(window);
            QSlider slider(Qt::Horizontal, window);
            slider.setRange(0, 10);
            box.show();
            slider.show();
            box.setFocus();
            QTRY_VERIFY(box.hasFocus());
            QTest::keyClick(&box, Qt::Key_Space);
            QVERIFY(box.isChecked());
            QVERIFY(!preview->isPlayChecked());
            slider.setFocus();
            QTRY_VERIFY(slider.hasFocus());
            QTest::keyClick(&slider, Qt::Key_Right);
            QTest::keyClick(&slider, Qt::Key_Right);
            QTest::keyClick(&slider, Qt::Key_Left);
            QCOMPARE(slider.value(), 1);
            QCOMPARE(front.size(), 1);
            QCOMPARE(back.size(), 1);
            QTest::keyClick(&slider, Qt::Key_B, Qt::ControlModifier);
            QCOMPARE(split.size(), 2);
            // A push button focused by a click does not keep Space: it still plays.
            QPushButton button(window);
            button.show();
            button.setFocus();
            QTRY_VERIFY(button.hasFocus());
            QTest::keyClick(&button, Qt::Key_Space);
            QVERIFY(preview->isPlayChecked());
            QTest::keyClick(&button, Qt::Key_Space);
            QVERIFY(!preview->isPlayChecked());
        }

        // F5 maximises the preview and back.
        QTest::keyClick(window, Qt::Key_F5);
        QVERIFY(!window->timelineWidget()->isVisible());
        QTest::keyClick(window, Qt::Key_F5);
        QVERIFY(window->timelineWidget()->isVisible());

        // Ctrl+S presses Save: an untitled project asks where.
        ZuApp::instance()->document()->setProjectPath(QString());
        const int asked = m_saveAsked;
        QTest::keyClick(window, Qt::Key_S, Qt::ControlModifier);
        QCOMPARE(m_saveAsked, asked + 1);

        // Shift held inverts auto-align: pressing and releasing toggle it.
        const bool aligned = bar->autoAlign();
        QTest::keyPress(window, Qt::Key_Shift);
        QCOMPARE(bar->autoAlign(), !aligned);
        QTest::keyRelease(window, Qt::Key_Shift);
        QCOMPARE(bar->autoAlign(), aligned);
        // The stored choice never follows Shift, and a release lost to another window
        // (here: the window stops being active) still ends the inversion.
        const std::string stored = bg::UserSettings::instance().get("autoAlign", "");
        QTest::keyPress(window, Qt::Key_Shift);
        QCOMPARE(bg::UserSettings::instance().get("autoAlign", ""), stored);
        QWidget other; // a dialog takes the focus while Shift is still down
        other.show();
        other.activateWindow();
        QTRY_VERIFY(!window->isActiveWindow());
        QCOMPARE(bar->autoAlign(), aligned);
        QTest::keyRelease(window, Qt::Key_Shift); // arrives late: changes nothing
        QCOMPARE(bar->autoAlign(), aligned);
        window->hide();
    }
    void restartReopensTheSavedProject()
    {
        ZuApp *app = ZuApp::instance();
        MainWindow *window = app->mainWindow();
        window->show();
        const QString project = m_dir.filePath("again.zua2");
        zua::UndoController::instance()->setClean();
        app->document()->createProject(project, 1280, 720, true);
        // Modified work: the save question comes first; cancelling it cancels the restart.
        dirty();
        m_answers = {2};
        app->requestRestart();
        QVERIFY(window->isVisible());
        QVERIFY(app->restartCommand().isEmpty());
        // Saved: the window closes and the editor comes back with the project.
        QVERIFY(app->document()->saveProject(false, false, QString()));
        app->requestRestart();
        QVERIFY(!window->isVisible());
        QCOMPARE(app->restartCommand(),
                 (QStringList{QCoreApplication::applicationFilePath(), project}));
        window->show();
    }

private:
    void dirty()
    {
        static int n = 0;
        m_edit.setValue("k", bg::Value(int32_t(++n)), true, true);
        QVERIFY(!zua::UndoController::instance()->isClean());
    }
    void installHooks()
    {
        MessageBox::setAnswerHook([this](const MessageSpec &box) {
            m_boxes << box;
            if (m_duringBox)
                m_duringBox();
            return m_answers.isEmpty() ? 0 : m_answers.takeFirst();
        });
        FileDialogs::setHook([this](const QString &kind, const QString &) {
            if (kind == "save")
                ++m_saveAsked;
            return m_saveAnswers.isEmpty() ? QString() : m_saveAnswers.takeFirst();
        });
    }
    Edit m_edit;
    QTemporaryDir m_dir;
    QList<MessageSpec> m_boxes;
    QList<int> m_answers; // answers to give, in order (0 once exhausted)
    QStringList m_saveAnswers;
    int m_saveAsked = 0;
    std::function<void()> m_duringBox; // runs while a box is open, as a timer would
};

ZU_ENGLISH_TEST_MAIN(ZuApp, TestLifecycle)

#include "tst_lifecycle.moc"
