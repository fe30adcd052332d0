// Project file container: archives (self-contained, never over the open project, on a
// full disk, cancelled), the saved attributes, refused and malformed files, the scene
// section, and saves that cannot write or are interrupted.
#include "common/MessageBox.h"
#include "common/Translate.h"
#include "common/ZuTransLator.h"
#include "main/ArchiveCopier.h"
#include "main/ArchivePlan.h"
#include "main/ArchivedDialog.h"
#include "main/ProjectDocument.h"
#include "main/ProjectMaterialPaths.h"
#include "main/ProjectSections.h"
#include "main/ZuApp.h"
#include "render/RenderManager.h"
#include "support/Files.h"
#include "support/FullDisk.h"
#include "undo/UndoController.h"
#include "undo/ZuObject.h"

#include <QLineEdit>
#include <QtTest>

#include <csignal>

using fixtures::readFile;
using fixtures::writeFile;

namespace {

// Section owners that record what they were handed and write a marker element.
class RecordingSections : public ProjectSections {
public:
    QStringList calls;
    QByteArray timelinePayload; // written inside "Timeline" when set
    bool killDuringTimeline = false;

    void writeScene(QXmlStreamWriter &w) override
    {
        calls << "write scene";
        w.writeTextElement("scene", "s");
    }
    void readScene(QXmlStreamReader &r) override { read("scene", r); }
    void readLegacyCanvas(QXmlStreamReader &r) override { read("legacy canvas", r); }
    void writeMaterials(QXmlStreamWriter &w, bool archive) override
    {
        calls << QString("write materials %1").arg(archive);
        w.writeTextElement("MaterialData", "m");
        for (const QString &m : materials)
            w.writeTextElement(
                "path",
                ZuApp::instance()->document()->materialPaths().storedMaterialPath(m, archive));
    }
    QStringList materials; // written as the library would, through the path services
    void readMaterials(QXmlStreamReader &r) override { read("materials", r); }
    void readLegacyMaterials(QXmlStreamReader &r) override { read("legacy materials", r); }
    void writeTimeline(QXmlStreamWriter &w, bool archive) override
    {
        calls << QString("write timeline %1").arg(archive);
        if (!timelinePayload.isEmpty())
            w.writeTextElement("classify", QString::fromLatin1(timelinePayload));
        if (killDuringTimeline) {
            w.device()->write(QByteArray(1 << 20, 'x')); // some of it reaches the disk
            std::raise(SIGKILL);
        }
    }
    void readTimeline(QXmlStreamReader &r) override { read("timeline", r); }
    void readLegacyScene(QXmlStreamReader &r) override { read("legacy scene", r); }
    void readLegacyTree(QXmlStreamReader &r) override { read("legacy tree", r); }
    void clearContent() override { calls << "clear"; }

private:
    void read(const QString &what, QXmlStreamReader &r)
    {
        calls << what;
        r.skipCurrentElement();
    }
};

class Marker : public zua::ZuObject {};

const QString kReadFail = "Invalid file (file could not be opened), failed to open ";

} // namespace

class TestProjectFile : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        QVERIFY(app()->init());
        MessageBox::setAnswerHook([this](const MessageSpec &box) {
            m_boxes << box;
            return m_answer;
        });
    }
    void init()
    {
        m_answer = 0;
        m_sections.calls.clear();
        m_sections.timelinePayload.clear();
        m_boxes.clear();
        app()->document()->setSections(&m_sections);
    }
    void cleanup() { app()->document()->setSections(nullptr); }

    void archiveIsSelfContainedAndMovable()
    {
        QDir root(m_dir.path());
        root.mkpath("a");
        root.mkpath("b");
        const QString first = writeFile(m_dir.filePath("a/clip.mp4"), "first clip");
        const QString second = writeFile(m_dir.filePath("b/clip.mp4"), "another clip");
        QVERIFY(app()->document()->readProjectFile(
            writeFile(m_dir.filePath("work.zua2"), "<VoVive/>")));
        m_sections.materials = QStringList{first, second, first};
        root.mkpath("out");
        app()->document()->archiveProject(m_dir.filePath("out/Trip"));
        const QString archive = m_dir.filePath("out/Trip/Trip.zua2");
        QTRY_VERIFY(QFileInfo::exists(archive));
        QVERIFY(m_boxes.isEmpty());
        // Two different files of one name get a copy each; the same file one copy.
        QCOMPARE(QDir(m_dir.filePath("out/Trip/resource")).entryList(QDir::Files),
                 (QStringList{"clip-2.mp4", "clip.mp4"}));
        QCOMPARE(readFile(m_dir.filePath("out/Trip/resource/clip-2.mp4")),
                 QByteArray("another clip"));
        const QByteArray text = readFile(archive);
        QVERIFY(text.contains("Archived=\"1\""));
        QCOMPARE(text.count("<path>resource/clip.mp4</path>"), 2);
        QVERIFY(text.contains("<path>resource/clip-2.mp4</path>"));
        QVERIFY(!QFileInfo::exists(archive + ".part"));
        // Again with the same name: the copies are used again, none is added.
        app()->document()->archiveProject(m_dir.filePath("out/Trip"));
        QTRY_VERIFY(!app()->document()->isWriting());
        QCOMPARE(QDir(m_dir.filePath("out/Trip/resource")).entryList(QDir::Files).size(), 2);

        // Moved elsewhere, the archive finds its materials beside it.
        QVERIFY(root.rename("out/Trip", "moved"));
        QVERIFY(app()->document()->readProjectFile(m_dir.filePath("moved/Trip.zua2")));
        QCOMPARE(
            readFile(app()->document()->materialPaths().resolveMaterialPath("resource/clip-2.mp4")),
            QByteArray("another clip"));
        m_sections.materials.clear();
    }
    void materialPathsNameFilesWithoutTouchingThem_data()
    {
        // Two files named clip.mp4 in folders a and b of the test folder ("$"); the
        // project (or archive) folder is nowhere/Trip there, which does not exist.
        QTest::addColumn<bool>("archived");   // the open project is an archive
        QTest::addColumn<QString>("writing"); // "save", "archive", "occupied", "unplanned"
        QTest::addColumn<QStringList>("stored");
        QTest::newRow("a project names them as they are")
            << false << "save" << QStringList{"$/a/clip.mp4", "$/b/clip.mp4"};
        QTest::newRow("an archived project names them from its folder")
            << true << "save" << QStringList{"../../a/clip.mp4", "../../b/clip.mp4"};
        QTest::newRow("an archive names its planned copies, one per file")
            << false << "archive" << QStringList{"resource/clip.mp4", "resource/clip-2.mp4"};
        QTest::newRow("an archive leaves another file of the name alone")
            << false << "occupied" << QStringList{"resource/clip-2.mp4", "resource/clip-3.mp4"};
        QTest::newRow("an archive without a plan keeps the paths")
            << false << "unplanned" << QStringList{"$/a/clip.mp4", "$/b/clip.mp4"};
    }
    void materialPathsNameFilesWithoutTouchingThem()
    {
        QFETCH(bool, archived);
        QFETCH(QString, writing);
        QFETCH(QStringList, stored);
        const QString folder = m_dir.filePath("nowhere/Trip");
        ProjectMaterialPaths paths([&folder] { return folder + "/Trip.zua2"; });
        paths.setArchived(archived);
        paths.setArchiveFolder(folder);
        ArchivePlan plan(folder);
        if (writing == "archive" || writing == "occupied")
            paths.setPlan(&plan);
        if (writing == "occupied" && QDir().mkpath(folder + "/resource"))
            writeFile(folder + "/resource/clip.mp4", "somebody else's clip");
        QStringList got;
        for (const QString &m : {m_dir.filePath("a/clip.mp4"), m_dir.filePath("b/clip.mp4")})
            got << paths.storedMaterialPath(m, writing != "save");
        stored.replaceInStrings("$", m_dir.path());
        QCOMPARE(got, stored);
        QCOMPARE(plan.copies().size(), writing == "archive" || writing == "occupied" ? 2 : 0);
        if (writing == "occupied")
            QDir(m_dir.filePath("nowhere")).removeRecursively();
        QVERIFY(!QFileInfo::exists(m_dir.filePath("nowhere"))); // nothing made or copied
    }
    void archiveNeverReplacesTheOpenProject()
    {
        // An archived project open, archived again under its own name and folder.
        QDir(m_dir.path()).mkpath("own/Trip");
        const QString project = writeFile(m_dir.filePath("own/Trip/Trip.zua2"),
                                          "<VoVive Archived=\"1\"><Render/></VoVive>");
        const QByteArray before = readFile(project);
        QVERIFY(app()->document()->readProjectFile(project));
        app()->document()->archiveProject(m_dir.filePath("own/Trip"));
        QCOMPARE(m_boxes.size(), 1);
        QCOMPARE(m_boxes[0].text, ZTR("archivedialog.OwnFile"));
        QVERIFY(!app()->document()->isWriting()); // no archive under way writes later
        QCOMPARE(readFile(project), before);
        QCOMPARE(QDir(m_dir.filePath("own/Trip")).entryList(QDir::Files), QStringList{"Trip.zua2"});
    }
    void archiveAsksBeforeReplacingAnotherProject()
    {
        // Another project of the archive's name is in the folder the archive goes to.
        QDir(m_dir.path()).mkpath("work/film");
        const QString film = writeFile(m_dir.filePath("work/film/film.zua2"), "somebody's film");
        QVERIFY(app()->document()->readProjectFile(
            writeFile(m_dir.filePath("mine.zua2"), "<VoVive/>")));
        m_sections.materials = QStringList{writeFile(m_dir.filePath("song.wav"), "la la")};
        m_answer = 1; // Cancel
        app()->document()->archiveProject(m_dir.filePath("work/film"));
        QCOMPARE(m_boxes.size(), 1);
        QCOMPARE(m_boxes[0].text,
                 QString("film.zua2 already exists in %1. Replace it with this archive?")
                     .arg(QDir::toNativeSeparators(m_dir.filePath("work/film"))));
        QCOMPARE(m_boxes[0].defaultButton, 1);    // Enter cancels
        QVERIFY(!app()->document()->isWriting()); // no archive under way writes later
        QCOMPARE(readFile(film), QByteArray("somebody's film"));
        QCOMPARE(QDir(m_dir.filePath("work/film"))
                     .entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
                 QStringList{"film.zua2"});
        m_answer = 0; // Replace
        app()->document()->archiveProject(m_dir.filePath("work/film"));
        QTRY_VERIFY(readFile(film).contains("Archived=\"1\""));
        QCOMPARE(readFile(m_dir.filePath("work/film/resource/song.wav")), QByteArray("la la"));
        m_sections.materials.clear();
    }
    void archiveOnAFullDiskLeavesNothingAndSaysWhy()
    {
        QVERIFY(app()->document()->readProjectFile(
            writeFile(m_dir.filePath("work3.zua2"), "<VoVive/>")));
        m_sections.materials =
            QStringList{writeFile(m_dir.filePath("big.mp4"), QByteArray(300 << 10, 'v'))};
        // Full before the project file is written, then while the copies are made: each
        // time the box names what could not be written, and nothing is left.
        {
            fixtures::FullDisk full(100);
            app()->document()->archiveProject(m_dir.filePath("Full"));
        }
        QCOMPARE(m_boxes.size(), 1);
        QVERIFY2(
            m_boxes[0].text.contains(QDir::toNativeSeparators(m_dir.filePath("Full/Full.zua2"))) &&
                m_boxes[0].text.contains("File too large"),
            qPrintable(m_boxes[0].text));
        QVERIFY(!QFileInfo::exists(m_dir.filePath("Full")));
        {
            fixtures::FullDisk full(100 << 10);
            app()->document()->archiveProject(m_dir.filePath("Full"));
            QTRY_COMPARE(m_boxes.size(), 2);
        }
        QVERIFY2(m_boxes[1].text.contains("big.mp4") && m_boxes[1].text.contains("File too large"),
                 qPrintable(m_boxes[1].text));
        QVERIFY(!QFileInfo::exists(m_dir.filePath("Full")));
        // With room again the same archive is made.
        app()->document()->archiveProject(m_dir.filePath("Full"));
        QTRY_VERIFY(QFileInfo::exists(m_dir.filePath("Full/Full.zua2")));
        QCOMPARE(QFileInfo(m_dir.filePath("Full/resource/big.mp4")).size(), qint64(300 << 10));
        m_sections.materials.clear();
    }
    void archiveCopiesInChunksAndStopsWhenAsked()
    {
        QByteArray big(5 << 20, 0);
        for (int i = 0; i < big.size(); ++i)
            big[i] = char(i * 7 / 3);
        QVERIFY(QDir().mkpath(m_dir.filePath("chunks/resource")));
        const QString from = writeFile(m_dir.filePath("chunks/big.mp4"), big);
        const QString small = writeFile(m_dir.filePath("chunks/small.png"), "picture");
        const QString out = m_dir.filePath("chunks/resource/");
        const QString kept = writeFile(out + "kept.wav", "from an earlier archive");
        const QList<ArchiveCopy> plan{
            {small, out + "small.png"}, {kept, out + "kept.wav"}, {from, out + "big.mp4"}};
        std::atomic<bool> cancel{false};

        // Cancelled part-way through the large file: this run's copies go, older ones stay.
        int reports = 0;
        QString error = ArchiveCopier(plan, cancel).run([&](qint64 done, qint64 total) {
            QCOMPARE(total, qint64(big.size() + 7));
            if (++reports == 3)
                cancel = true;
            QVERIFY(done < total);
        });
        QCOMPARE(error, ZTR("archivedialog.Cancelled"));
        QCOMPARE(QDir(out).entryList(QDir::Files), QStringList{"kept.wav"});
        QCOMPARE(readFile(out + "kept.wav"), QByteArray("from an earlier archive"));

        // A destination that fills up mid-file (a file size limit stands in for a full
        // disk): the message names the material and nothing new is left.
        cancel = false;
        {
            fixtures::FullDisk full(2 << 20);
            error = ArchiveCopier(plan, cancel).run({});
        }
        QVERIFY2(error.contains(QDir::toNativeSeparators(from)), qPrintable(error));
        QCOMPARE(QDir(out).entryList(QDir::Files), QStringList{"kept.wav"});

        // Uninterrupted: exact copies, progress rising to the total.
        qint64 last = -1;
        error = ArchiveCopier(plan, cancel).run([&](qint64 done, qint64 total) {
            QVERIFY(done > last);
            last = done;
            QCOMPARE(total, qint64(big.size() + 7));
        });
        QCOMPARE(error, QString());
        QCOMPARE(last, qint64(big.size() + 7));
        QCOMPARE(readFile(out + "big.mp4"), big);
        QCOMPARE(readFile(out + "small.png"), QByteArray("picture"));
    }
    void archiveDialogChecksFolderAndName()
    {
        ArchivedDialog dialog;
        QSignalSpy archive(&dialog, &ArchivedDialog::sig_archive);
        auto *path = dialog.findChild<QLineEdit *>("lineEdit_path");
        auto *name = dialog.findChild<QLineEdit *>("lineEdit_name");
        QVERIFY(ArchivedDialog::defaultName().startsWith("Zu剪辑-"));
        QVERIFY(!ArchivedDialog::defaultName().contains('.'));
        path->setText(m_dir.filePath("missing"));
        name->setText("Trip");
        dialog.on_pushButton_archived_clicked();
        path->setText(m_dir.path());
        name->setText("Trip?");
        dialog.on_pushButton_archived_clicked();
        QCOMPARE(m_boxes.size(), 2);
        QCOMPARE(m_boxes[0].text, ZTR("archivedialog.dirNoneExist"));
        QVERIFY(m_boxes[1].text.startsWith(ZTR("archivedialog.NameLimit")));
        QCOMPARE(archive.size(), 0);
        name->setText("Trip");
        dialog.on_pushButton_archived_clicked();
        QCOMPARE(archive.size(), 1);
        QCOMPARE(archive[0][0].toString(), m_dir.path() + "/Trip");
    }
    void savesWriteTheArchivedAttribute()
    {
        // Start from a project that is not archived.
        QVERIFY(app()->document()->readProjectFile(
            writeFile(m_dir.filePath("plain.zua2"), "<VoVive/>")));
        m_sections.calls.clear();
        const QString path = m_dir.filePath("saved.zua2");
        QVERIFY(
            app()->document()->writeContainer(path, ProjectDocument::ContainerKind::Save, false));
        QVERIFY2(readFile(path).startsWith("<VoVive Version=\"1.0.0\" Archived=\"0\">"),
                 readFile(path).constData());
        QCOMPARE(m_sections.calls,
                 QStringList({"write scene", "write materials 0", "write timeline 0"}));

        QDir(m_dir.path()).mkpath("pack");
        const QString archived = m_dir.filePath("pack/archived.zua2");
        m_sections.calls.clear();
        QVERIFY(app()->document()->writeContainer(archived, ProjectDocument::ContainerKind::Save,
                                                  true));
        QVERIFY(readFile(archived).startsWith("<VoVive Version=\"1.0.0\" Archived=\"1\">"));
        QCOMPARE(app()->document()->archiveFolder(), QFileInfo(archived).absolutePath());
        QCOMPARE(m_sections.calls,
                 QStringList({"write scene", "write materials 1", "write timeline 1"}));
        // The section layout is the same whatever the flags.
        const QByteArray text = readFile(archived);
        QVERIFY(text.indexOf("<Render>") < text.indexOf("<Resource>"));
        QVERIFY(text.indexOf("<Resource>") < text.indexOf("<Timeline"));
        QVERIFY(text.indexOf("<Timeline") < text.indexOf("<Preview/>"));
    }
    void emptyOrNonXmlFileIsRefusedAndChangesNothing_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("text") << QByteArray("this is not a project");
        QTest::newRow("binary") << QByteArray("\x00\x01\xff<", 4);
    }
    void emptyOrNonXmlFileIsRefusedAndChangesNothing()
    {
        QFETCH(QByteArray, content);
        app()->document()->setProjectPath("/home/u/current.zua2");
        QVERIFY(
            !app()->document()->readProjectFile(writeFile(m_dir.filePath("bad.zua2"), content)));
        QVERIFY(m_sections.calls.isEmpty()); // the open project is not cleared
        QCOMPARE(m_boxes.size(), 1);
        QCOMPARE(m_boxes[0].text, kReadFail);
        QCOMPARE(app()->document()->projectPath(), QString("/home/u/current.zua2"));
    }
    void malformedXmlKeepsWhatWasRead()
    {
        const QString path =
            writeFile(m_dir.filePath("cut.zua2"), "<VoVive Archived=\"0\"><Render/><Resource><Mat");
        QVERIFY(app()->document()->readProjectFile(path));
        QCOMPARE(m_sections.calls, QStringList({"clear", "scene", "materials"}));
        QCOMPARE(m_boxes.size(), 1); // told, and opened as a copy
        QVERIFY(app()->document()->needsLocation());
    }
    void legacyFileWithAnotherRootIsRefused()
    {
        const QString path = writeFile(m_dir.filePath("other.zua"), "<VoVive Archived=\"1\"/>");
        QVERIFY(!app()->document()->readLegacyProjectFile(path));
        QVERIFY(m_sections.calls.isEmpty());
        QCOMPARE(m_boxes.size(), 1);
        QCOMPARE(m_boxes[0].text, kReadFail);
    }
    void sceneSectionRoundTrip()
    {
        app()->document()->setSections(nullptr);
        RenderManager *rm = app()->renderManager();
        rm->setSceneSize(1280, 720, true);
        const QString path = m_dir.filePath("scene.zua2");
        QVERIFY(
            app()->document()->writeContainer(path, ProjectDocument::ContainerKind::Save, false));
        rm->setSceneSize(1920, 1080, true);
        QSignalSpy sizes(rm, &RenderManager::sig_updateSceneSize);
        QVERIFY(app()->document()->readProjectFile(path));
        QCOMPARE(rm->sceneWidth(), 1280u);
        QCOMPARE(rm->sceneHeight(), 720u);
        QVERIFY(!rm->sizeFixed()); // a loaded size can still be adopted from a video
        QCOMPARE(sizes.size(), 1);
    }
    void unwritableTargetWritesNothing()
    {
        const QString path = m_dir.filePath("no/such/folder/p.zua2");
        QVERIFY(
            !app()->document()->writeContainer(path, ProjectDocument::ContainerKind::Save, false));
        QVERIFY(!QFileInfo::exists(path));
        QVERIFY(!app()->document()->writeContainer(QString(), ProjectDocument::ContainerKind::Save,
                                                   false));
        QVERIFY(m_sections.calls.isEmpty());
    }
    void interruptedSaveKeepsThePreviousFile()
    {
        const QString path = m_dir.filePath("precious.zua2");
        m_sections.timelinePayload = "previous";
        QVERIFY(
            app()->document()->writeContainer(path, ProjectDocument::ContainerKind::Save, false));
        const QByteArray before = readFile(path);
        QVERIFY(before.contains("previous"));

        // A separate process saves over it and is killed half-way through.
        QProcess child;
        child.start(QCoreApplication::applicationFilePath(), {"--interrupted-save", path});
        QVERIFY(child.waitForFinished(30000));
        QCOMPARE(child.exitStatus(), QProcess::CrashExit);
        QCOMPARE(readFile(path), before);
        QVERIFY(app()->document()->readProjectFile(path));
        QVERIFY(m_sections.calls.contains("timeline"));
    }

private:
    ZuApp *app() { return ZuApp::instance(); }
    QTemporaryDir m_dir;
    RecordingSections m_sections;
    QList<MessageSpec> m_boxes;
    int m_answer = 0; // the button the next box is answered with
};

int main(int argc, char **argv)
{
    if (argc == 3 && qstrcmp(argv[1], "--interrupted-save") == 0) {
        ZuApp app(argc, argv);
        RecordingSections sections;
        sections.timelinePayload = "replacement";
        sections.killDuringTimeline = true;
        app.document()->setSections(&sections);
        app.document()->writeContainer(QString::fromLocal8Bit(argv[2]),
                                       ProjectDocument::ContainerKind::Save, false);
        return 0; // not reached: the save kills the process
    }
    ZuApp app(argc, argv);
    ZuTransLator translator(":/language/en-Us-new.ini");
    app.installTranslator(&translator);
    TestProjectFile test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_projectfile.moc"
