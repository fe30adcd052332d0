// Installing like a desktop program: `cmake --install` into a fresh prefix puts the
// programs, the stickers, the menu entry with the project file types and the icon in
// their usual places, and the installed editor starts and finds its stickers there.
#include "support/EditorProcess.h"
#include "support/Files.h"

#include <QtTest>

#include <csignal>

class TestInstall : public QObject {
    Q_OBJECT
private slots:
    void installedEditorStartsWithItsData()
    {
        QTemporaryDir dir;
        const QString prefix = dir.filePath("usr");
        QProcess install;
        install.setProcessChannelMode(QProcess::MergedChannels);
        install.start("cmake", {"--install", ZUA_BUILD_DIR, "--prefix", prefix});
        QVERIFY(install.waitForFinished(120000));
        QVERIFY2(install.exitCode() == 0, install.readAll().constData());

        for (const char *program :
             {"ZuAEdit", "zuaedit-render", "zuaedit-crashdump", "zuaedit-bugreport"})
            QVERIFY2(QFileInfo(prefix + "/bin/" + program).isExecutable(), program);
        const QByteArray entry = fixtures::readFile(prefix + "/share/applications/zuaedit.desktop");
        QVERIFY(entry.contains("\nExec=ZuAEdit %f\n"));
        QVERIFY(entry.contains("MimeType=application/x-zuaedit-project;"));
        QVERIFY(fixtures::readFile(prefix + "/share/mime/packages/zuaedit.xml")
                    .contains("<glob pattern=\"*.zua2\"/>"));
        QCOMPARE(QImage(prefix + "/share/icons/hicolor/128x128/apps/zuaedit.png").size(),
                 QSize(128, 128));
        const QString stickers = prefix + "/share/zuaedit/gif";
        const int count = QDir(stickers).entryList({"*.gif"}).size();
        QVERIFY(count > 0);

        // The installed editor opens a project and finds the stickers in the shared data.
        const QString home = dir.filePath("home"), project = home + "/empty.zua2";
        QDir().mkpath(home);
        QVERIFY(!fixtures::writeFile(project,
                                     "<VoVive Version=\"1.0.0\" "
                                     "Archived=\"0\"><Resource/><Timeline/><Preview/></VoVive>")
                     .isEmpty());
        QProcess editor;
        QVERIFY(fixtures::startEditor(editor, home, project, prefix + "/bin/ZuAEdit"));
        QVERIFY2(fixtures::waitForLog(
                     home, QString("stickers: %1 from %2").arg(count).arg(stickers), 5000),
                 qPrintable(fixtures::readLog(home).right(2000)));
        ::kill(pid_t(editor.processId()), SIGKILL);
        editor.waitForFinished();
    }
};

QTEST_GUILESS_MAIN(TestInstall)
#include "tst_install.moc"
